#include "import_cue/coverpanel.h"

#include "core/cover/coverfile.h"
#include "core/cover/coversearch.h"
#include "coverview/coverview.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

CoverPanel::CoverPanel(QBoxLayout *albumRow, QBoxLayout *column, int noticeIndex, OpenPanelFunction openPanel,
                       QObject *parent)
    : QObject(parent)
    , m_view(new CoverView)
    , m_chooseButton(new QPushButton(QStringLiteral("Co&ver…")))
    , m_clearButton(new QPushButton(QStringLiteral("No Cover")))
    , m_notice(new QLabel)
    , m_openPanel(std::move(openPanel))
{
    m_view->setObjectName(QStringLiteral("coverView"));
    m_view->setAccessibleName(QStringLiteral("Cover"));
    m_chooseButton->setObjectName(QStringLiteral("chooseCoverButton"));
    m_clearButton->setObjectName(QStringLiteral("clearCoverButton"));
    m_notice->setObjectName(QStringLiteral("coverNotice"));
    m_chooseButton->setToolTip(
        QStringLiteral("Choose the image that every track gets as its front cover, when tags are written"));
    m_clearButton->setToolTip(QStringLiteral("Write no cover into the tracks"));
    m_view->setPlaceholderText(QStringLiteral("No cover:\ndrop an image here"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->hide();

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_chooseButton);
    buttons->addWidget(m_clearButton);
    buttons->addStretch();
    albumRow->addSpacing(albumRow->spacing());
    albumRow->addWidget(m_view);
    albumRow->addLayout(buttons);
    column->insertWidget(noticeIndex, m_notice);

    connect(m_view, &CoverView::fileDropped, this, &CoverPanel::takeFile);
    connect(m_view, &CoverView::chooseRequested, this, &CoverPanel::choose);
    connect(m_view, &CoverView::clearRequested, this, &CoverPanel::clear);
    connect(m_chooseButton, &QPushButton::clicked, this, &CoverPanel::choose);
    connect(m_clearButton, &QPushButton::clicked, this, &CoverPanel::clear);
    show(std::nullopt, {});
}

void CoverPanel::showFound(const velvane::CoverSearch &search)
{
    show(search.image, search.source);
    tell(search.refusal);
}

void CoverPanel::takeFile(const QString &path)
{
    velvane::CoverReading reading = velvane::readCoverFile(path);
    if (!reading.image) {
        tell(velvane::coverRefusal(QFileInfo(path).fileName(), reading.problem));
        return;
    }
    show(std::move(reading.image), path);
    tell({});
}

void CoverPanel::choose()
{
    PanelRequest request;
    request.title = QStringLiteral("Choose the Cover");
    request.types = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};
    request.typesName = QStringLiteral("Images");
    if (!m_source.isEmpty())
        request.startFolder = QFileInfo(m_source).absolutePath();
    if (const std::optional<QString> chosen = m_openPanel(request))
        takeFile(*chosen);
}

void CoverPanel::clear()
{
    show(std::nullopt, {});
    tell({});
}

void CoverPanel::placeInTabOrderAfter(QWidget *before)
{
    QWidget::setTabOrder(before, m_view);
    QWidget::setTabOrder(m_view, m_chooseButton);
    QWidget::setTabOrder(m_chooseButton, m_clearButton);
}

void CoverPanel::show(std::optional<velvane::CoverImage> cover, const QString &source)
{
    m_cover = std::move(cover);
    m_source = source;
    QPixmap picture;
    if (m_cover)
        picture.loadFromData(m_cover->data);
    m_view->setPicture(picture);
    m_view->setToolTip(m_cover ? QStringLiteral("%1\n%2 × %3, %4 kB")
                                     .arg(QDir::toNativeSeparators(source))
                                     .arg(m_cover->width)
                                     .arg(m_cover->height)
                                     .arg((m_cover->data.size() + 1023) / 1024)
                               : QStringLiteral("Drop an image here, or press Enter to choose one"));
    m_clearButton->setEnabled(m_cover.has_value());
}

void CoverPanel::tell(const QString &refusal)
{
    m_notice->setText(refusal);
    m_notice->setVisible(!refusal.isEmpty());
}

#pragma once

#include "core/cover/coverimage.h"
#include "dialogs/openpanel.h"

#include <QObject>

#include <optional>

class CoverView;
class QBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace velvane {
struct CoverSearch;
}

// The album's cover in the main window: the view beside the album fields with its two buttons, and a line under
// the album that tells why an image was not taken. Holds the cover a split embeds.
class CoverPanel : public QObject
{
    Q_OBJECT
public:
    // Puts the view and its buttons at the end of albumRow, and the notice line into column at noticeIndex.
    CoverPanel(QBoxLayout *albumRow, QBoxLayout *column, int noticeIndex, OpenPanelFunction openPanel,
               QObject *parent = nullptr);

    // What was found for a sheet's album replaces any cover taken before, the user's too.
    void showFound(const velvane::CoverSearch &search);
    // An image file the user chose or dropped; one that is not a decodable image leaves the cover as it was.
    void takeFile(const QString &path);
    void choose();
    void clear();
    // The view and its buttons follow before when Tab is pressed.
    void placeInTabOrderAfter(QWidget *before);

    [[nodiscard]] const std::optional<velvane::CoverImage> &cover() const { return m_cover; }
    [[nodiscard]] CoverView *view() const { return m_view; }
    [[nodiscard]] QLabel *notice() const { return m_notice; }

private:
    void show(std::optional<velvane::CoverImage> cover, const QString &source);
    void tell(const QString &refusal);

    CoverView *m_view;
    QPushButton *m_chooseButton;
    QPushButton *m_clearButton;
    QLabel *m_notice;
    OpenPanelFunction m_openPanel;
    std::optional<velvane::CoverImage> m_cover;
    QString m_source;
};

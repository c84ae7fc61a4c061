#include "main/maininterface.h"

#include "ui_feedbackFenster.h"
#include "ui_hauptFenster.h"
#include "ui_statusFenster.h"

#include <QDialog>
#include <QMainWindow>

namespace {

template <typename Ui>
QDialog *makeSheet(QMainWindow *parent)
{
    auto *sheet = new QDialog(parent);
    Ui ui;
    ui.setupUi(sheet);
    sheet->setWindowModality(Qt::WindowModal);
    return sheet;
}

} // namespace

MainInterface::MainInterface()
    : m_mainWindow(std::make_unique<QMainWindow>())
{
    Ui::hauptFenster ui;
    ui.setupUi(m_mainWindow.get());
    m_statusSheet = makeSheet<Ui::statusFenster>(m_mainWindow.get());
    m_feedbackSheet = makeSheet<Ui::feedbackFenster>(m_mainWindow.get());
}

MainInterface::~MainInterface() = default;

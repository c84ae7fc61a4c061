#include "main/maininterface.h"

#include <QDialog>
#include <QMainWindow>

namespace {

QDialog *makeSheet(QMainWindow *parent)
{
    auto *sheet = new QDialog(parent);
    sheet->setWindowModality(Qt::WindowModal);
    return sheet;
}

} // namespace

MainInterface::MainInterface()
    : m_mainWindow(std::make_unique<QMainWindow>())
    , m_statusSheet(makeSheet(m_mainWindow.get()))
    , m_feedbackSheet(makeSheet(m_mainWindow.get()))
{}

MainInterface::~MainInterface() = default;

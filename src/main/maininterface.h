#pragma once

#include <memory>

class QDialog;
class QMainWindow;

// The main window and its two sheets, which the window controller fills from their interface files.
class MainInterface
{
public:
    MainInterface();
    ~MainInterface();
    MainInterface(const MainInterface &) = delete;
    MainInterface &operator=(const MainInterface &) = delete;

    [[nodiscard]] QMainWindow *mainWindow() const { return m_mainWindow.get(); }
    [[nodiscard]] QDialog *statusSheet() const { return m_statusSheet; }
    [[nodiscard]] QDialog *feedbackSheet() const { return m_feedbackSheet; }

private:
    std::unique_ptr<QMainWindow> m_mainWindow;
    QDialog *m_statusSheet = nullptr;   // owned by the main window
    QDialog *m_feedbackSheet = nullptr; // owned by the main window
};

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

// What an open panel is asked for: one item, files or folders, optionally limited to extensions.
struct PanelRequest
{
    QString title;
    bool chooseFiles = true;
    bool chooseDirectories = false;
    QStringList types;   // extensions without the dot; empty means no filter
    QString typesName;   // what the filter is called, e.g. "Cue sheets"
    QString startFolder; // where the panel opens; empty: wherever the panel likes
};

// Runs the panel modally; the chosen path, or nothing when the user cancelled.
using OpenPanelFunction = std::function<std::optional<QString>(const PanelRequest &)>;

// Sets a QFileDialog up for a request. Kept apart so its configuration can be checked without running it.
void configureFileDialog(QFileDialog &dialog, const PanelRequest &request);

// A QFileDialog; a chosen link is resolved to its target, and a dangling one counts as no choice.
[[nodiscard]] OpenPanelFunction fileDialogPanel(QWidget *parent = nullptr);

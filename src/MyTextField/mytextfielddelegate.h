#pragma once

#include <QString>

// What a path field tells its controller after a drop it accepted.
class MyTextFieldDelegate
{
public:
    virtual ~MyTextFieldDelegate() = default;
    // Sent with the object "newCue" after a cue sheet was dropped on the cue sheet field.
    virtual void controlTextDidChange(const QString &object) = 0;
    // Sent after an audio file was dropped on the audio field.
    virtual void audioFileDropped(const QString &path) = 0;
};

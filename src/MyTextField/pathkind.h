#pragma once

// What a path field or a file-selection control stands for. The values are the controls' tags in the interface
// files, which tie each field to its button.
enum class PathKind
{
    None = 0,
    CueSheet = 1,
    AudioFile = 2,
    Destination = 3
};

[[nodiscard]] constexpr PathKind pathKindOfTag(int tag)
{
    return tag >= 1 && tag <= 3 ? PathKind(tag) : PathKind::None;
}

#pragma once

// Placeholder until the split worker lands.
class SplitSession
{
};

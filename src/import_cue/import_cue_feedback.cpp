#include "import_cue/import_cue.h"

// Placeholder until the feedback form lands.
void import_cue::connectFeedbackActions() {}
void import_cue::openFeedback() {}
void import_cue::closeFeedback() {}
void import_cue::sendFeedback() {}
void import_cue::textDidChange() {}

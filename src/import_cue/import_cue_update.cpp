#include "import_cue/import_cue.h"

// Placeholder until the update check lands.
void import_cue::search_for_update() {}
void import_cue::donateDollar() {}
void import_cue::donateEuro() {}
void import_cue::gotoWebsite() {}

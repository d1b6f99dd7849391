#pragma once
// The words the command line uses for the settings' choices: the same tables the site
// profile uses (waveharm::Named, visible inside waveharm::cli).

#include "settings/choice_names.h"

// The command record is header-only; this unit keeps the one-unit-one-file-pair layout.
#include "interp/cmd_obj.h"

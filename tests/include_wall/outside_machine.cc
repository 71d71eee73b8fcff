// An outside stand-in that reaches for the machine's own headers: refused.
#include "machine/handles.h"

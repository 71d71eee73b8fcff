// A system file that reaches for a platform library's private header: refused.
#include "platform/user32/classes.h"

// The library's own carrier: the five entry points that drive the one ISDN
// connection object, installed by RCOInitLinkDLL(FALSE).
#pragma once

#include "corvane.h"

CROCallBacks IsdnCallBacks();

#pragma once
// The platform's RAS headers for this library. ras.h pulls in naptypes.h, whose "MessageId"
// typedef would collide with the message catalogue's enum of that name.
#include <windows.h>
#define MessageId NapMessageId
#include <ras.h>
#include <raserror.h>
#undef MessageId

// The headers name the records through macros ("struct tagRASCONNW"), which cannot be
// value-initialised in an expression.
typedef RASCONNW RasConnRecord;
typedef RASDEVINFOW RasDeviceRecord;

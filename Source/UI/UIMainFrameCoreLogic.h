// The main frame's expiry decisions that need no window: which certificates
// of present keys are about to expire, which remembered keys of the usage
// database to remind of, and whether the user's snooze still holds. The main
// frame's members call these and only add the pop-ups.
#pragma once

#include "SQlite/sqlite3Module.h"

class DeviceRecordList;

namespace ExpiryLogic {

// Certificates of present keys that have not expired and end within
// notifyDays days (and within the RemainDay window): how many, and the
// smallest remaining-day count among them (0 when there is none).
struct ExpiringCertificates {
    int count = 0;
    int leastDays = 0;
};
ExpiringCertificates CountExpiringCertificates(const DeviceRecordList& devices, int notifyDays);

// A new certificate handle (the caller's to free) from a remembered record:
// its signing certificate text, else its encryption certificate text; 0 when
// neither converts.
unsigned long NewCertOfCachedRecord(const CachedDeviceRecord& record);

// Keeps one record per certificate holder (subject display name, blanks at
// both ends ignored): all others are marked handled. The kept one ends last;
// on equal ends the later record wins.
void SuppressDuplicateCachedCerts(CachedDeviceRecordList& records);

// Whether candidate's validity end is not earlier than best's (attribute 31);
// false when either end cannot be read.
bool IsLaterOrSameValidityEnd(unsigned long best, unsigned long candidate);

// True when the absent-key pop-up may be shown now: no snooze date, an
// unreadable one, or one at least an hour in the past.
bool IsValidNotfiyWindowUpdateTime();

// One pass over the usage database: appends to notifyList a copy of every
// remembered record whose certificate is about to expire, with its remaining
// days. False when the database cannot be read (notifyList is then untouched).
bool ProcessSQLiteCacheNotifyCertEvent(CachedDeviceRecordList& notifyList);

// The reminder's one exception: a single remembered key that is inserted
// after all (the usage database's serial number for its device equals, in
// any letter case, that of a present key). Two or more records always show.
bool IsOnlyRememberedKeyPresent(const CachedDeviceRecordList& notifyList, const DeviceRecordList& devices);

// The service thread's decision after its pass: the pop-up is asked for only
// with something to show and no snooze in force.
bool ShouldRequestNoDeviceCertPopup(const CachedDeviceRecordList& notifyList);

}  // namespace ExpiryLogic

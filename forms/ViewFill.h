// Helpers of reading and viewing messages that other code and tests call directly.
#pragma once

#include <QString>

#include "engine/SMSEngine.h"

class QLocale;
class QPixmap;
class TfrmViewIn;
class TfrmViewOut;

// The locale's long time format without its time zone: the values are local times without a zone.
QString LongTimeFormat(const QLocale& Locale);

// Date-and-time text: the locale's short date, a blank and its long time, the time left out at
// exactly midnight.
QString DateTimeText(SMSEngine::TDateTime DateTime);

// A time zone in quarter hours as hours with a sign and two decimals in the locale's notation
// ("+1.00", "-0.75", "+0.00").
QString TimeZoneText(int QuarterHours);

// The validity period of a stored message as the outgoing viewer shows it.
QString ValidityText(const SMSEngine::TMessageList& Entry);

// Fill the viewers from a list entry; Icon is the status icon to copy, nullptr for none.
void FillViewIn(TfrmViewIn& Form, const SMSEngine::TMessageList& Entry, const QPixmap* Icon);
void FillViewOut(TfrmViewOut& Form, const SMSEngine::TMessageList& Entry, const QPixmap* Icon);

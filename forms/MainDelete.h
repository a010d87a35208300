// Helpers of deleting and saving messages that the two operations share.
#pragma once

class TfrmMain;

// The list position of the message shown in grid row Row, or 0 when no message stands behind the
// row: a row beyond the list, the status report row ("?"), or an entry the phone counted but did
// not list (no location, no PDU).
int MessageBehindRow(const TfrmMain& Form, int Row);

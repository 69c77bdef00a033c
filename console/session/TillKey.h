// TillKey: how a till names a request it hands over, its WorkstationID and
// RequestID. The journal keeps it with the request's sent entry, so a till
// that asks again under the same key gets the first request's outcome and
// never a second charge.
#pragma once

#include <QString>

struct TillKey {
    QString workstation;
    QString requestId;

    bool isEmpty() const { return workstation.isEmpty() && requestId.isEmpty(); }
    friend bool operator==(const TillKey &, const TillKey &) = default;
};

// FileAppend: the one way the console writes bytes to a file it keeps
// (log.txt, Tellar.err, the settings store's hive).
//
// write(2) may take fewer bytes than asked, and is retried for the rest; an
// interrupted write is retried. A write that takes no bytes at all is an
// error (ENOSPC), never retried: on a full disk or a broken file system it
// would come back with 0 for ever, and the console would hang in the loop.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace FileAppend {

// Writes all of data to fd; 0, or the errno of the write that failed.
int writeAll(int fd, QByteArrayView data);

// Appends data to the file at path, created with mode (less the umask) when
// missing, on an O_APPEND descriptor: entries of two processes land whole,
// one after the other. Nothing is done for empty data. 0, or the errno of
// what failed (errorText, when given, gets its description).
int append(const QString &path, QByteArrayView data, int mode, QString *errorText = nullptr);

} // namespace FileAppend

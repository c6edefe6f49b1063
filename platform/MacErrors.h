#pragma once
// Status codes of the classic platform, kept with their classic values so callers and
// stored logs read the same. Every errno the file layer sees maps to the nearest one.

#include <QString>
#include <cstdint>

using OSErr = std::int16_t;
using OSStatus = std::int32_t;

enum : OSErr {
    noErr = 0,
    unimpErr = -4,
    dirFulErr = -33,
    dskFulErr = -34,
    nsvErr = -35,
    ioErr = -36,
    bdNamErr = -37,
    eofErr = -39,
    tmfoErr = -42,
    fnfErr = -43,
    wPrErr = -44,
    fLckdErr = -45,
    vLckdErr = -46,
    fBsyErr = -47,
    dupFNErr = -48,
    paramErr = -50,
    permErr = -54,
    memFullErr = -108,
    dirNFErr = -120,
    notAFileErr = -1302,
    diffVolErr = -1303,
    errFSBadFSRef = -1401,
    errFSNotAFolder = -1407,
    errFSNameTooLong = -1410,
    errFSNoMoreItems = -1417,
    errFSQuotaExceeded = -1425,
    afpAccessDenied = -5000,
};

enum : OSStatus {
    coreFoundationUnknownErr = -4960,
};

// The classic code nearest to an errno value.
OSErr OSErrFromErrno(int error);

// A short sentence for the user naming why the file system refused: own wording for the
// cases people meet when renaming (name taken, too long, gone), strerror otherwise.
QString DescribeErrno(int error);

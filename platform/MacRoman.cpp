#include "platform/MacRoman.h"

#include <unicode/ucnv.h>

#include <memory>

namespace {

struct ConverterDeleter {
    void operator()(UConverter* c) const { ucnv_close(c); }
};

} // namespace

QString MacRomanToString(QByteArrayView bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    // A converter per call: they are cheap to open from ICU's cache and not thread-safe to share.
    std::unique_ptr<UConverter, ConverterDeleter> converter(ucnv_open("macintosh", &status));
    if (U_FAILURE(status))
        return {};
    // Every Mac Roman byte is one UTF-16 unit.
    QString text(bytes.size(), Qt::Uninitialized);
    const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()),
                                         int32_t(text.size()), bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return {};
    text.truncate(length);
    if (text.isNull())
        text = QString::fromLatin1("");   // empty text is text, not a failure
    return text;
}

QString MacRomanPascalToString(const unsigned char* pascal)
{
    if (!pascal)
        return {};
    return MacRomanToString(QByteArrayView(reinterpret_cast<const char*>(pascal + 1), pascal[0]));
}

#include "core/encoding/detectors.h"

#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <climits>
#include <memory>

namespace velvane {

QByteArray uchardetAnswer(QByteArrayView bytes)
{
    const std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), &uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), size_t(bytes.size())) != 0)
        return {};
    uchardet_data_end(detector.get());
    return QByteArray(uchardet_get_charset(detector.get()));
}

QList<DetectorMatch> icuMatches(QByteArrayView bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::LocalUCharsetDetectorPointer detector(ucsdet_open(&status));
    if (U_FAILURE(status))
        return {};
    // ICU reads at most INT_MAX bytes; the text must outlive the matches.
    ucsdet_setText(detector.getAlias(), bytes.data(), int32_t(qMin<qsizetype>(bytes.size(), INT_MAX)), &status);
    int32_t count = 0;
    const UCharsetMatch **matches = ucsdet_detectAll(detector.getAlias(), &count, &status);
    QList<DetectorMatch> found;
    for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i) {
        const char *name = ucsdet_getName(matches[i], &status);
        const int32_t confidence = ucsdet_getConfidence(matches[i], &status);
        if (U_SUCCESS(status) && name)
            found.append({QByteArray(name), int(confidence)});
    }
    return found;
}

} // namespace velvane

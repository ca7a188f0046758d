// libFuzzer target of the OC31 decoder and the style facts reader. The input is an OC31 stream
// after one byte that says how far to decode first: any bytes must end as decoded output or an
// SbkError; the output never passes the declared size, which never passes the cap; decoding in
// two steps gives what one step gives. The same bytes as the data of a style and a performance
// block must give facts within their ranges and never throw, and name damage exactly when the
// stream does not decode (compressed blocks; plain ones always decode) and the fingerprint of the
// decoded blocks is missing.
#include "core/SbkError.h"
#include "sty/Oc31Decoder.h"
#include "sty/StyleFacts.h"

#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

QByteArray chunk(const char* id, const QByteArray& data) {
    QByteArray header(id, 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        header += char(quint32(data.size()) >> shift);
    return header + data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const qsizetype first = qsizetype(data[0]) * 64;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    QByteArray whole;
    bool decoded = false;
    try {
        whole = Oc31Decoder::decode(stream, QStringLiteral("fuzz"));
        decoded = true;
    } catch (const SbkError&) {
    }
    try {
        Oc31Decoder decoder(stream, QStringLiteral("fuzz"));
        require(decoder.declaredSize() <= Oc31Decoder::MaxDeclaredSize);
        decoder.decodeTo(first);
        require(decoder.output().size() <= decoder.declaredSize());
        require(decoder.isComplete() || decoder.output().size() >= first);
        const QByteArray all = decoder.decodeAll();
        require(decoded && all == whole && all.size() == decoder.declaredSize());
    } catch (const SbkError&) {
        // A stream that fails in steps may still pass the first steps; one decoded whole never fails.
        require(!decoded);
    }

    for (const char* ids : {"\x06\x00\x00\x30\x09\x01\x00\x30", "\x06\x00\x00\x08\x09\x02\x01\x08"}) {
        const bool compressed = ids[3] == '\x30';
        const StyleFactsValues facts = StyleFacts::read(chunk(ids, stream), chunk(ids + 4, stream));
        require(!facts.Tempo ||
                (*facts.Tempo >= StyleFacts::MinTempo && *facts.Tempo <= StyleFacts::MaxTempo));
        require(facts.Meter.isEmpty() ||
                StyleFacts::meterText(quint8(StyleFacts::signatureOf(facts.Meter))) == facts.Meter);
        require(facts.complete() == facts.problem.isEmpty());
        require(facts.damage.isEmpty() == facts.FingerprintRenamed.has_value());
        require(facts.damage.isEmpty() == (decoded || !compressed));
    }
    return 0;
}

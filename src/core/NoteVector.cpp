#include "core/NoteVector.h"

#include <cmath>

namespace {

constexpr int BitmapBytes = (NoteVector::Size + 7) / 8;

// What each group weighs in the measure: the drums carry a groove most.
constexpr std::array<double, NoteVector::GroupCount> Weights{0.40, 0.15, 0.15, 0.15, 0.15};

// The largest cell: a group of one cell at the heaviest weight.
const double Scale = 255.0 / std::sqrt(Weights[0]);

} // namespace

int NoteVector::groupStart(Group group) {
    switch (group) {
    case Drums:
        return 0;
    case BassOnsets:
        return DrumClasses * Slots;
    case AccompanimentOnsets:
        return DrumClasses * Slots + Slots;
    case BassPitches:
        return DrumClasses * Slots + 2 * Slots;
    case AccompanimentPitches:
        return DrumClasses * Slots + 2 * Slots + PitchClasses;
    case GroupCount:
        break;
    }
    return Size;
}

int NoteVector::groupSize(Group group) {
    return groupStart(Group(group + 1)) - groupStart(group);
}

std::optional<NoteVector::Cells> NoteVector::fromCounts(const Counts& counts) {
    Cells cells{};
    bool any = false;
    for (int g = 0; g < GroupCount; ++g) {
        const int from = groupStart(Group(g));
        const int to = from + groupSize(Group(g));
        double length = 0;
        for (int i = from; i < to; ++i)
            length += counts[size_t(i)]; // the square roots, squared
        if (length <= 0)
            continue;
        const double factor = Scale * std::sqrt(Weights[size_t(g)] / length);
        for (int i = from; i < to; ++i) {
            if (counts[size_t(i)] <= 0)
                continue; // most cells are empty
            const long value = std::lround(std::sqrt(counts[size_t(i)]) * factor);
            cells[size_t(i)] = quint8(value > 255 ? 255 : value);
            any = any || value > 0;
        }
    }
    return any ? std::optional<Cells>(cells) : std::nullopt;
}

QByteArray NoteVector::encode(const Cells& cells) {
    std::array<char, 1 + BitmapBytes + Size> bytes{};
    bytes[0] = Tag;
    qsizetype at = 1 + BitmapBytes;
    for (int i = 0; i < Size; ++i) {
        if (cells[size_t(i)] == 0)
            continue;
        bytes[size_t(1 + i / 8)] = char(quint8(bytes[size_t(1 + i / 8)]) | 1u << (i % 8));
        bytes[size_t(at++)] = char(cells[size_t(i)]);
    }
    return QByteArray(bytes.data(), at);
}

bool NoteVector::decode(QByteArrayView bytes, Cells& cells) {
    if (bytes.size() < 1 + BitmapBytes || bytes[0] != Tag)
        return false;
    const auto* bitmap = reinterpret_cast<const quint8*>(bytes.data()) + 1;
    const quint8* values = bitmap + BitmapBytes;
    const qsizetype count = bytes.size() - 1 - BitmapBytes;
    qsizetype at = 0;
    // A byte of the bitmap at a time: most are 0, eight empty cells.
    for (int b = 0; b < BitmapBytes; ++b) {
        const int first = 8 * b;
        const int n = qMin(8, Size - first);
        const quint8 bits = bitmap[b];
        for (int i = 0; i < n; ++i) {
            if (!(bits & (1u << i))) {
                cells[size_t(first + i)] = 0;
                continue;
            }
            if (at >= count)
                return false;
            cells[size_t(first + i)] = values[at++];
        }
    }
    return at == count;
}

quint32 NoteVector::norm2(const Cells& cells) {
    return dot(cells.data(), cells.data());
}

quint32 NoteVector::dot(const quint8* a, const quint8* b) {
    quint32 sum = 0;
    for (int i = 0; i < Size; ++i)
        sum += quint32(a[i]) * b[i];
    return sum;
}

int NoteVector::percent(quint32 dot, quint32 norm2a, quint32 norm2b) {
    if (norm2a == 0 || norm2b == 0)
        return 0;
    return int(std::lround(100.0 * dot / std::sqrt(double(norm2a) * double(norm2b))));
}

int NoteVector::similarity(const Cells& a, const Cells& b) {
    return percent(dot(a.data(), b.data()), norm2(a), norm2(b));
}

std::optional<int> NoteVector::similarity(QByteArrayView a, QByteArrayView b) {
    Cells x, y;
    if (!decode(a, x) || !decode(b, y))
        return std::nullopt;
    return similarity(x, y);
}

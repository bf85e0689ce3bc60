#include "opening/PackedRows.h"

#include <QDate>

#include <cstring>
#include <stdexcept>

namespace qc::opening::rows {

// A packed row: a bitmap of the columns that are NULL, then each other value as
// a type byte and its bytes (a text as its length and its UTF-16 units), in the
// machine's own byte order: it is read back by the same process.
namespace {

enum PackedType : char { kPackedInt = 'i', kPackedLong = 'l', kPackedText = 's', kPackedDate = 'd' };

template <typename T>
void putRaw(QByteArray& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T>
T takeRaw(const char*& p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
}

}  // namespace

void PackedRows::set(qsizetype slot, const RowValues& row) {
    if (m_columns.isEmpty())
        m_columns = row.columns();
    else if (row.columns() != m_columns)
        throw std::logic_error("packed rows of different columns");
    const QVariantList& values = row.values();
    QByteArray& bytes = m_row;
    bytes.fill('\0', (values.size() + 7) / 8);
    for (qsizetype c = 0; c < values.size(); ++c) {
        const QVariant& v = values.at(c);
        if (v.isNull()) {
            bytes[c / 8] = static_cast<char>(bytes.at(c / 8) | (1 << (c % 8)));
            continue;
        }
        switch (v.typeId()) {
            case QMetaType::Int:
                bytes.append(kPackedInt);
                putRaw(bytes, v.toInt());
                break;
            case QMetaType::LongLong:
                bytes.append(kPackedLong);
                putRaw(bytes, v.toLongLong());
                break;
            case QMetaType::QString: {
                const QString text = v.toString();
                bytes.append(kPackedText);
                putRaw(bytes, static_cast<qint32>(text.size()));
                bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
                break;
            }
            case QMetaType::QDate:
                bytes.append(kPackedDate);
                putRaw(bytes, v.toDate().toJulianDay());
                break;
            default:
                throw std::logic_error("a value of a type rows are not packed with");
        }
    }
    // A block holds a megabyte of rows; a row larger than that gets one of its own.
    constexpr qsizetype kBlock = 1 << 20;
    if (m_blocks.isEmpty() || m_blocks.last().size() + bytes.size() > m_blocks.last().capacity()) {
        m_blocks.append(QByteArray());
        m_blocks.last().reserve(std::max(kBlock, bytes.size()));
    }
    QByteArray& block = m_blocks.last();
    m_slots[slot] = Place{static_cast<qint32>(m_blocks.size() - 1), static_cast<qint32>(block.size())};
    block.append(bytes);
}

void PackedRows::append(const RowValues& row) {
    m_slots.append(Place{});
    set(m_slots.size() - 1, row);
}

const char* PackedRows::rowAt(qsizetype slot) const {
    const Place& place = m_slots.at(slot);
    return m_blocks.at(place.block).constData() + place.offset;
}

QVariantList PackedRows::values(qsizetype slot) const {
    const char* nulls = rowAt(slot);
    const char* p = nulls + (m_columns.size() + 7) / 8;
    QVariantList out;
    out.reserve(m_columns.size());
    for (qsizetype c = 0; c < m_columns.size(); ++c) {
        if ((nulls[c / 8] & (1 << (c % 8))) != 0) {
            out << QVariant();
            continue;
        }
        switch (*p++) {
            case kPackedInt:
                out << takeRaw<int>(p);
                break;
            case kPackedLong:
                out << takeRaw<qint64>(p);
                break;
            case kPackedText: {
                const auto size = takeRaw<qint32>(p);
                QString text(size, Qt::Uninitialized);
                std::memcpy(text.data(), p, static_cast<size_t>(size) * 2);
                p += static_cast<ptrdiff_t>(size) * 2;
                out << text;
                break;
            }
            default:
                out << QDate::fromJulianDay(takeRaw<qint64>(p));
        }
    }
    return out;
}

QList<bool> PackedRows::filledColumns() const {
    QList<bool> filled(m_columns.size(), false);
    for (qsizetype slot = 0; slot < m_slots.size(); ++slot) {
        if (!has(slot)) continue;
        const char* nulls = rowAt(slot);
        for (qsizetype c = 0; c < m_columns.size(); ++c)
            if ((nulls[c / 8] & (1 << (c % 8))) == 0) filled[c] = true;
    }
    return filled;
}

}  // namespace qc::opening::rows

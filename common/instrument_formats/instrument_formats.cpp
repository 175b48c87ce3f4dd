#include "common/instrument_formats/instrument_formats.h"

#include <algorithm>
#include <array>

#include "common/ascii_case.h"
#include "common/byte_order.h"

namespace {

struct TypeEntry {
    const char* name;  // also the default extension
    int size;          // bytes of one file
};

constexpr std::array<TypeEntry, kInstrumentTypeCount> kTypes{{
    {"gems", 39},
    {"tyi", 32},
    {"tfi", 42},
    {"eif", 29},
    {"y12", 128},
    {"vgi", 43},
    {"dmp", 51},
    {"dmp0", 49},
    {"smps", 25},
}};

// Operators as they sit in the register map (+0, +4, +8, +C = S1, S3, S2, S4)
// and as the chip numbers them (S1, S2, S3, S4); indices into PatchRecord::op.
constexpr std::array<int, 4> kRegisterOrder{0, 2, 1, 3};
constexpr std::array<int, 4> kOperatorOrder{0, 1, 2, 3};

// One byte of an operator as a format stores it: a register as written, the
// heard total level, or one decoded parameter.
enum class Field {
    DtMul, Tl, Tlk, RsAr, AmD1r, D2r, D1lRr, SsgEg,
    Mul, Dt, Rs, Ar, Am, D1r, D2rBits, D1l, Rr, Ssg,
};

// The chip's detune field is sign (bit 2) and size (bits 0..1); the editors
// want 3 + the signed offset, so 0..7 becomes 3, 4, 5, 6, 3, 2, 1, 0.
constexpr std::array<uint8_t, 8> kDetuneRecoded{3, 4, 5, 6, 3, 2, 1, 0};

constexpr uint8_t kTotalLevelSilent = 0x7F;

uint8_t operatorByte(const PatchRecord& record, int k, Field field) {
    const OperatorRegs& op = record.op[static_cast<size_t>(k)];
    switch (field) {
        case Field::DtMul: return op.dtMul;
        case Field::Tl: return op.tl;
        case Field::Tlk: return operatorKeyed(record, k) ? static_cast<uint8_t>(op.tl & 0x7F) : kTotalLevelSilent;
        case Field::RsAr: return op.rsAr;
        case Field::AmD1r: return op.amD1r;
        case Field::D2r: return op.d2r;
        case Field::D1lRr: return op.d1lRr;
        case Field::SsgEg: return op.ssgEg;
        case Field::Mul: return op.dtMul & 0x0F;
        case Field::Dt: return kDetuneRecoded[(op.dtMul >> 4) & 7];
        case Field::Rs: return static_cast<uint8_t>(op.rsAr >> 6);
        case Field::Ar: return op.rsAr & 0x1F;
        case Field::Am: return static_cast<uint8_t>(op.amD1r >> 7);
        case Field::D1r: return op.amD1r & 0x1F;
        case Field::D2rBits: return op.d2r & 0x1F;
        case Field::D1l: return static_cast<uint8_t>(op.d1lRr >> 4);
        case Field::Rr: return op.d1lRr & 0x0F;
        case Field::Ssg: return op.ssgEg & 0x0F;
    }
    return 0;
}

template <size_t N>
using Fields = std::array<Field, N>;

// All fields of one operator together, operator after operator.
template <size_t N>
uint8_t* writeByOperator(uint8_t* p, const PatchRecord& record, const std::array<int, 4>& order,
                         const Fields<N>& fields) {
    for (int k : order) {
        for (Field f : fields) *p++ = operatorByte(record, k, f);
    }
    return p;
}

// One field of all four operators together, field after field.
template <size_t N>
uint8_t* writeByField(uint8_t* p, const PatchRecord& record, const std::array<int, 4>& order,
                      const Fields<N>& fields) {
    for (Field f : fields) {
        for (int k : order) *p++ = operatorByte(record, k, f);
    }
    return p;
}

uint8_t alg(const PatchRecord& r) { return r.fbAlg & 7; }
uint8_t fb(const PatchRecord& r) { return (r.fbAlg >> 3) & 7; }
uint8_t ams(const PatchRecord& r) { return (r.lrAmsFms >> 4) & 3; }
uint8_t fms(const PatchRecord& r) { return r.lrAmsFms & 7; }

// The seven register blocks as the chip lays them out (0x30..0x90).
constexpr Fields<7> kRegisterDump{Field::DtMul, Field::Tlk, Field::RsAr, Field::AmD1r,
                                  Field::D2r, Field::D1lRr, Field::SsgEg};

void writeGems(const PatchRecord& r, uint8_t* p) {
    constexpr Fields<6> kOperator{Field::DtMul, Field::Tl, Field::RsAr, Field::AmD1r, Field::D2r, Field::D1lRr};
    p[0] = 0x00;  // patch type: FM
    p[1] = r.lfo;
    p[2] = r.ch3Mode;
    p[3] = r.fbAlg;
    p[4] = r.lrAmsFms;
    writeByOperator(p + 5, r, kRegisterOrder, kOperator);
    // Channel 3 frequencies, high (A4-type) byte first: A6/A2, AE/AA, AD/A9, AC/A8.
    writeBe16(p + 29, r.ch3Freq[3]);
    writeBe16(p + 31, r.ch3Freq[2]);
    writeBe16(p + 33, r.ch3Freq[0]);
    writeBe16(p + 35, r.ch3Freq[1]);
    p[37] = static_cast<uint8_t>(r.keyMask >> 4);
    p[38] = 0x00;
}

void writeTyi(const PatchRecord& r, uint8_t* p) {
    p = writeByField(p, r, kRegisterOrder, kRegisterDump);
    p[0] = r.fbAlg;
    p[1] = r.lrAmsFms;
    p[2] = 0x59;  // 'Y'
    p[3] = 0x49;  // 'I'
}

void writeTfi(const PatchRecord& r, uint8_t* p) {
    constexpr Fields<10> kOperator{Field::Mul, Field::Dt, Field::Tlk, Field::Rs, Field::Ar,
                                   Field::D1r, Field::D2rBits, Field::Rr, Field::D1l, Field::Ssg};
    p[0] = alg(r);
    p[1] = fb(r);
    writeByOperator(p + 2, r, kRegisterOrder, kOperator);
}

// ECHO loads an instrument as a register dump: the algorithm byte, then each
// register block for the four operators in the order they sit in the chip.
void writeEif(const PatchRecord& r, uint8_t* p) {
    p[0] = r.fbAlg;
    writeByField(p + 1, r, kRegisterOrder, kRegisterDump);
}

void writeY12(const PatchRecord& r, uint8_t* p) {
    for (size_t i = 0; i < 4; ++i) {
        uint8_t* group = p + 16 * i;
        for (size_t j = 0; j < kRegisterDump.size(); ++j) group[j] = operatorByte(r, kRegisterOrder[i], kRegisterDump[j]);
        std::fill(group + kRegisterDump.size(), group + 16, uint8_t{0});
    }
    p[64] = alg(r);
    p[65] = fb(r);
    std::fill(p + 66, p + 128, uint8_t{0});
}

void writeVgi(const PatchRecord& r, uint8_t* p) {
    constexpr Fields<10> kOperator{Field::Mul, Field::Dt, Field::Tlk, Field::Rs, Field::Ar,
                                   Field::AmD1r, Field::D2rBits, Field::Rr, Field::D1l, Field::Ssg};
    p[0] = alg(r);
    p[1] = fb(r);
    p[2] = r.lrAmsFms & 0x3F;  // AMS and FMS without the L/R bits
    writeByOperator(p + 3, r, kRegisterOrder, kOperator);
}

// DefleMask's FM body; the dmp head before it differs by file version.
void writeDmpBody(const PatchRecord& r, uint8_t* p) {
    constexpr Fields<11> kOperator{Field::Mul, Field::Tlk, Field::Ar, Field::D1r, Field::D1l, Field::Rr,
                                   Field::Am, Field::Rs, Field::Dt, Field::D2rBits, Field::Ssg};
    p[0] = fms(r);
    p[1] = fb(r);
    p[2] = alg(r);
    p[3] = ams(r);
    writeByOperator(p + 4, r, kRegisterOrder, kOperator);
}

void writeDmp(const PatchRecord& r, uint8_t* p) {
    p[0] = 0x05;  // file version
    p[1] = 0x01;  // system: Genesis
    p[2] = 0x01;  // instrument mode: FM
    writeDmpBody(r, p + 3);
}

void writeDmp0(const PatchRecord& r, uint8_t* p) {
    p[0] = 0x00;  // file version 0: no system byte, no mode byte
    writeDmpBody(r, p + 1);
}

// SMPS voices list the operators in the chip's own numbering, not register order.
void writeSmps(const PatchRecord& r, uint8_t* p) {
    constexpr Fields<6> kBlocks{Field::DtMul, Field::RsAr, Field::AmD1r, Field::D2r, Field::D1lRr, Field::Tlk};
    p[0] = r.fbAlg;
    writeByField(p + 1, r, kOperatorOrder, kBlocks);
}

bool validType(int type) { return type >= 0 && type < kInstrumentTypeCount; }

}  // namespace

InstrumentType instrumentTypeByName(std::string_view name) {
    for (int type = 0; type < kInstrumentTypeCount; ++type) {
        if (equalIgnoringCase(name, kTypes[static_cast<size_t>(type)].name)) return static_cast<InstrumentType>(type);
    }
    return kInstrumentUnknown;
}

const char* instrumentTypeName(int type) { return validType(type) ? kTypes[static_cast<size_t>(type)].name : ""; }

int instrumentTypeSize(int type) { return validType(type) ? kTypes[static_cast<size_t>(type)].size : 0; }

InstrumentWrite writeInstrument(const PatchRecord& record, int type, uint8_t* buffer) {
    switch (type) {
        case kInstrumentGems: writeGems(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentTyi: writeTyi(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentTfi: writeTfi(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentEif: writeEif(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentY12: writeY12(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentVgi: writeVgi(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentDmp: writeDmp(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentDmp0: writeDmp0(record, buffer); return InstrumentWrite::kWritten;
        case kInstrumentSmps: writeSmps(record, buffer); return InstrumentWrite::kWritten;
        default: return InstrumentWrite::kUnknownType;
    }
}

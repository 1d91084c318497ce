// Random and damaged captures, many thousands of them, through the reader, the dump and the
// statistics. The bytes sit right before an unreadable page, so that any read past them faults.
// What must hold for every one: nothing crashes or hangs, records lie end to end from the first
// byte, the reader stops at or before the end of the file, at the start of the first bad record.
// The run is bounded by its iteration counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "CaptureBuilder.h"
#include "GuardedBuffer.h"
#include "ReadBack.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/dump/RecordDumper.h"
#include "controller/stats/StatsReport.h"
#include "controller/reading/StreamRecordKind.h"
#include "controller/reading/TextOutput.h"
#include "gen/ApiDescription.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel::test {
namespace {

using Random = std::mt19937;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRoundsPerMutation = 2500;
constexpr int kLooseRecords = 20000;
constexpr std::size_t kGuardedCapacity = 1u << 20;

std::uint32_t Below(Random& random, std::uint32_t n) { return n ? static_cast<std::uint32_t>(random() % n) : 0; }

Payload RandomBytes(Random& random, std::uint32_t size) {
    Payload payload;
    for (std::uint32_t i = 0; i < size; ++i) payload.U8(static_cast<std::uint8_t>(random()));
    return payload;
}

// A payload of about the fixed part's size: exactly it, longer (a data block) or shorter.
std::uint32_t CallPayloadSize(Random& random, std::uint32_t fixed) {
    switch (Below(random, 4)) {
        case 0: return fixed + Below(random, 80);
        case 1: return Below(random, fixed + 1);
        default: return fixed;
    }
}

CaptureBuilder RandomCapture(Random& random) {
    CaptureBuilder b;
    b.Opening(Below(random, 2) ? "Windows 10 | Adapter" : std::string(300, 'x'));
    const std::uint32_t records = Below(random, 40);
    for (std::uint32_t i = 0; i < records; ++i) {
        switch (Below(random, 10)) {
            case 0:
                b.ThreadSwitch(random(), Below(random, 3) ? random() : 0);
                break;
            case 1: case 2: case 3: {
                const description::ApiDescription& api = description::kApis[Below(random, description::kApiCount)];
                b.Record(api.apiId, RandomBytes(random, CallPayloadSize(random, api.fixedSize)));
                break;
            }
            case 4: {
                const description::AliasDescription& alias = description::kAliases[Below(random, description::kAliasCount)];
                const description::ApiDescription* target = description::FindApi(alias.targetApiId);
                b.AliasCall(alias.name, RandomBytes(random, CallPayloadSize(random, target ? target->fixedSize : 8)));
                break;
            }
            case 5:
                b.ClientMemory(random(), random(), Below(random, 2) ? kVariantArrayFlag : random(),
                               RandomBytes(random, Below(random, 100)).bytes());
                break;
            case 6:
                b.Record(kDrawableRecord, RandomBytes(random, Below(random, 2) ? DrawableSize(b.pointerBits())
                                                                              : DrawableSize(b.pointerBits()) +
                                                                                    Below(random, 2 * DibSectionSize(b.pointerBits()))));
                break;
            case 7:
                b.Call("wglSwapBuffers", RandomBytes(random, 8));
                break;
            case 8: {
                // A valid id nobody has.
                b.Record(kFirstApiId + 0x7000 + Below(random, 0x1000), RandomBytes(random, Below(random, 20)));
                break;
            }
            default: {
                const std::uint32_t made[] = {0x3000, 0x0B71, 0x1406, 0, 1, 0xFFFFFFFFu};
                b.Call("glEnable", Payload().U32(made[Below(random, 6)]));
                break;
            }
        }
    }
    return b;
}

// Index of the unit that holds byte `at`.
std::size_t UnitAt(const CaptureBuilder& b, std::uint64_t at) {
    const std::vector<std::uint64_t>& units = b.unitStarts();
    return static_cast<std::size_t>(std::upper_bound(units.begin(), units.end(), at) - units.begin()) - 1;
}
std::size_t UnitOfRecord(const CaptureBuilder& b, std::size_t record) { return UnitAt(b, b.recordStarts()[record]); }

bool IsStreamId(std::uint32_t id) { return FindStreamRecordKind(id) != nullptr; }

// Reads the bytes from guarded memory, checks what must hold for any input, and runs every
// record read through the dump and the statistics from guarded memory too.
ReadResult ReadChecked(GuardedBuffer& guarded, GuardedBuffer& payloads, const Bytes& bytes) {
    const std::uint8_t* at = guarded.Place(bytes.data(), bytes.size());
    const ReadResult read = ReadAll(at, bytes.size());
    std::uint64_t end = 0;
    for (const CaptureRecord& record : read.records) {
        EXPECT_EQ(record.offset, end);
        end = record.End();
    }
    EXPECT_EQ(read.stopOffset, end);
    EXPECT_LE(read.stopOffset, bytes.size());
    EXPECT_EQ(read.complete, read.reason.empty());
    if (read.complete) {
        EXPECT_EQ(read.stopOffset, bytes.size());
    }

    DumpOptions options;
    options.blobs = true;
    options.blobLimit = 64;
    TextOutput out;
    RecordDumper dumper(options, out);
    CaptureStatistics stats;
    for (const CaptureRecord& record : read.records) {
        RecordView view = RecordView::Of(record);
        view.data = payloads.Place(record.payload.data(), record.payload.size());
        dumper.Add(view);
        stats.Add(view);
    }
    StatsReport::Write(out, "fuzz", CaptureFileForm{}, stats, 10, {10000000, true});
    EXPECT_EQ(dumper.linesWritten(), read.records.size());
    EXPECT_EQ(stats.records(), read.records.size());
    EXPECT_EQ(stats.bytes(), read.stopOffset);
    return read;
}

class CaptureFuzz : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(guarded_.valid());
        ASSERT_TRUE(payloads_.valid());
    }
    // Runs `mutate` on random captures; it damages the bytes and returns the unit where the reader
    // must stop (-1: at or after the unit holding the first changed byte, `earliest`).
    template <class Mutate>
    void Run(std::uint32_t seed, Mutate mutate) {
        Random random(seed);
        for (int round = 0; round < kRoundsPerMutation && !HasFailure(); ++round) {
            const CaptureBuilder b = RandomCapture(random);
            Bytes bytes = b.bytes();
            std::uint64_t earliest = 0;
            const int stopUnit = mutate(random, b, bytes, earliest);
            if (bytes.size() > guarded_.capacity()) continue;
            const ReadResult read = ReadChecked(guarded_, payloads_, bytes);
            if (stopUnit >= 0) {
                EXPECT_FALSE(read.complete) << "round " << round;
                EXPECT_EQ(read.stopOffset, b.unitStarts()[static_cast<std::size_t>(stopUnit)]) << "round " << round << ": " << read.reason;
            } else {
                EXPECT_GE(read.stopOffset, b.unitStarts()[UnitAt(b, std::min<std::uint64_t>(earliest, b.size() - 1))]) << "round " << round;
            }
        }
    }
    GuardedBuffer guarded_{kGuardedCapacity};
    GuardedBuffer payloads_{kGuardedCapacity};
};

TEST_F(CaptureFuzz, WholeCapturesAreReadToTheEnd) {
    Run(1, [](Random&, const CaptureBuilder& b, Bytes&, std::uint64_t& earliest) {
        earliest = b.size();
        return -1;
    });
}

TEST_F(CaptureFuzz, TruncatedCapturesStopAtTheCutRecord) {
    Random random(2);
    for (int round = 0; round < kRoundsPerMutation && !HasFailure(); ++round) {
        const CaptureBuilder b = RandomCapture(random);
        const std::uint32_t cut = Below(random, static_cast<std::uint32_t>(b.size()));
        const Bytes bytes(b.bytes().begin(), b.bytes().begin() + cut);
        const ReadResult read = ReadChecked(guarded_, payloads_, bytes);
        const std::uint64_t unitStart = b.unitStarts()[UnitAt(b, cut)];
        EXPECT_EQ(read.stopOffset, unitStart) << "round " << round;
        // A cut between units leaves a whole, shorter capture; only nothing at all is no capture.
        EXPECT_EQ(read.complete, cut == unitStart && cut != 0) << "round " << round << ": " << read.reason;
    }
}

TEST_F(CaptureFuzz, SizesBeyondTheFileStopAtTheirRecord) {
    Run(3, [](Random& random, const CaptureBuilder& b, Bytes& bytes, std::uint64_t&) {
        const std::size_t record = Below(random, static_cast<std::uint32_t>(b.recordStarts().size()));
        const std::uint64_t start = b.recordStarts()[record];
        const auto remaining = static_cast<std::uint32_t>(b.size() - start - 16);
        const std::uint32_t size = remaining + 1 + Below(random, 0xFFFFFFFFu - remaining);
        std::memcpy(&bytes[static_cast<std::size_t>(start) + 4], &size, 4);
        return static_cast<int>(UnitOfRecord(b, record));
    });
}

// A stream record id the reader does not know is a newer recorder's record: it is skipped by its size
// and the rest reads as before. Only the opening record, or the record an alias marker names, must be
// what they claim, and reading stops there.
TEST_F(CaptureFuzz, UnknownStreamRecordIdsAreSkippedByTheirSize) {
    Random random(4);
    for (int round = 0; round < kRoundsPerMutation && !HasFailure(); ++round) {
        const CaptureBuilder b = RandomCapture(random);
        Bytes bytes = b.bytes();
        if (bytes.size() > guarded_.capacity()) continue;
        const std::size_t record = Below(random, static_cast<std::uint32_t>(b.recordStarts().size()));
        std::uint32_t id, old, before = 0;
        do {
            id = Below(random, 4) ? Below(random, 300) : Below(random, kFirstApiId);
        } while (IsStreamId(id));
        const auto at = static_cast<std::size_t>(b.recordStarts()[record]);
        std::memcpy(&old, &bytes[at], 4);
        if (record > 0) std::memcpy(&before, &bytes[static_cast<std::size_t>(b.recordStarts()[record - 1])], 4);
        std::memcpy(&bytes[at], &id, 4);
        const ReadResult read = ReadChecked(guarded_, payloads_, bytes);
        if (record == 0 || before == kAliasMarkerRecord) {
            EXPECT_FALSE(read.complete) << "round " << round;
            const std::size_t stop = record == 0 ? record : record - 1;
            EXPECT_EQ(read.stopOffset, b.recordStarts()[stop]) << "round " << round << ": " << read.reason;
            continue;
        }
        EXPECT_TRUE(read.complete) << "round " << round << ": " << read.reason;
        // A marker's size covers the record it marks: both go as one unknown record.
        const std::size_t expected = b.recordStarts().size() - (old == kAliasMarkerRecord ? 1 : 0);
        EXPECT_EQ(read.records.size(), expected) << "round " << round;
    }
}

TEST_F(CaptureFuzz, AliasMarkersThatLieStopAtTheMarker) {
    Run(5, [](Random& random, const CaptureBuilder& b, Bytes& bytes, std::uint64_t& earliest) {
        std::vector<std::size_t> markers;
        for (std::size_t r = 0; r < b.recordStarts().size(); ++r) {
            std::uint32_t id;
            std::memcpy(&id, &bytes[static_cast<std::size_t>(b.recordStarts()[r])], 4);
            if (id == kAliasMarkerRecord) markers.push_back(r);
        }
        if (markers.empty()) {
            earliest = b.size();
            return -1;
        }
        const std::size_t marker = markers[Below(random, static_cast<std::uint32_t>(markers.size()))];
        const auto at = static_cast<std::size_t>(b.recordStarts()[marker]);
        const std::size_t field = Below(random, 2) ? at + 4 : at + 16;  // its declared size or its target
        std::uint32_t value, old;
        std::memcpy(&old, &bytes[field], 4);
        do {
            value = Below(random, 2) ? old + 1 + Below(random, 64) - 32 : static_cast<std::uint32_t>(random());
        } while (value == old);
        std::memcpy(&bytes[field], &value, 4);
        return static_cast<int>(UnitOfRecord(b, marker));
    });
}

TEST_F(CaptureFuzz, FlippedBytesNeverStopTheReaderBeforeTheDamage) {
    Run(6, [](Random& random, const CaptureBuilder&, Bytes& bytes, std::uint64_t& earliest) {
        earliest = bytes.size();
        const std::uint32_t flips = 1 + Below(random, 8);
        for (std::uint32_t i = 0; i < flips; ++i) {
            const std::uint32_t at = Below(random, static_cast<std::uint32_t>(bytes.size()));
            bytes[at] ^= static_cast<std::uint8_t>(1 + Below(random, 255));
            earliest = std::min<std::uint64_t>(earliest, at);
        }
        return -1;
    });
}

TEST_F(CaptureFuzz, SplicedCapturesNeverStopTheReaderBeforeTheSplice) {
    Run(7, [](Random& random, const CaptureBuilder&, Bytes& bytes, std::uint64_t& earliest) {
        const auto size = static_cast<std::uint32_t>(bytes.size());
        const std::uint32_t from = Below(random, size), length = Below(random, size - from + 1), to = Below(random, size + 1);
        const Bytes piece(bytes.begin() + from, bytes.begin() + from + length);
        bytes.insert(bytes.begin() + to, piece.begin(), piece.end());
        earliest = to;
        return -1;
    });
}

TEST_F(CaptureFuzz, RandomBytesAreReadSafely) {
    Random random(8);
    const CaptureBuilder opening = CaptureBuilder().Opening();
    for (int round = 0; round < kRoundsPerMutation && !HasFailure(); ++round) {
        Bytes bytes;
        if (Below(random, 2)) bytes.assign(opening.bytes().begin(), opening.bytes().begin() + 20);  // a format record
        const std::uint32_t size = Below(random, 3000);
        for (std::uint32_t i = 0; i < size; ++i) {
            // Mostly small values, so that sizes and ids are often plausible.
            bytes.push_back(static_cast<std::uint8_t>(Below(random, 3) ? Below(random, 5) * 4 : random()));
        }
        ReadChecked(guarded_, payloads_, bytes);
    }
}

// Records that the reader would refuse or cut short reach the dump and the statistics too when
// a caller feeds them directly: their decoders check every field against the bytes at hand.
TEST_F(CaptureFuzz, DecodersReadOnlyTheBytesAtHand) {
    Random random(9);
    const std::uint32_t streamIds[] = {kFormatVersionRecord, kRecorderVersionRecord, kApiTypeRecord, kSystemDescriptionRecord,
                                       kThreadSwitchRecord, kAliasMarkerRecord, kClientMemoryBlockRecord, kDrawableRecord, 57};
    DumpOptions options;
    options.blobs = true;
    TextOutput out;
    RecordDumper dumper(options, out);
    CaptureStatistics stats;
    for (int i = 0; i < kLooseRecords; ++i) {
        RecordView view;
        switch (Below(random, 3)) {
            case 0: view.id = streamIds[Below(random, 9)]; break;
            case 1: view.id = description::kApis[Below(random, description::kApiCount)].apiId; break;
            default: view.id = static_cast<std::uint32_t>(random()); break;
        }
        view.payloadSize = Below(random, 4) ? Below(random, 400) : static_cast<std::uint32_t>(random());
        view.kept = std::min<std::uint32_t>(view.payloadSize, Below(random, 2) ? 400 : Below(random, 40));
        const Payload bytes = RandomBytes(random, view.kept);
        view.data = payloads_.Place(bytes.bytes().data(), view.kept);
        view.offset = static_cast<std::uint64_t>(i) * 16;
        view.timeStamp = static_cast<std::int64_t>(random()) - 0x40000000;
        dumper.Add(view);
        stats.Add(view);
        if (out.text().size() > (1u << 20)) out.Clear();
    }
    StatsReport::Write(out, "loose", CaptureFileForm{}, stats, 10, {10000000, true});
    EXPECT_EQ(dumper.linesWritten(), static_cast<std::uint64_t>(kLooseRecords));
    EXPECT_EQ(stats.records(), static_cast<std::uint64_t>(kLooseRecords));
}

}  // namespace
}  // namespace kestrel::test

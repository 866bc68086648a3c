// Fuzz target: the camera's status block and the records built from it: decoding, the
// information record, the clock in both directions, the store group counts, and the picture
// store records taken from answer bytes.
//
// Input: 126 status block bytes, then the bytes of a calendar time and of name records.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "camera/camera.hpp"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

int16_t Int16At(const uint8_t* p) {
    return static_cast<int16_t>((p[0] << 8) | p[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> input(data, data + size);
    input.resize(std::max<size_t>(size, kStatusBlockSize + 18 + kItemRecordBytes), 0);

    StatusBlock block;
    std::copy_n(input.begin(), kStatusBlockSize, block.begin());
    const CameraStatus status = DecodeStatusBlock(block);
    Check(status.text[11] == '\0');
    Check(status.cameraId[kCameraIdLength] == '\0');

    // The record keeps its figures when the mode selects none.
    CameraInfo info;
    info.store0Figure = 11;
    info.store1Figure = 22;
    FillCameraInfo(status, &info);
    if (status.modeIndex >= 4) {
        Check(info.store0Figure == 11);
    }
    if (!status.Store1Present()) {
        Check(info.store1Pictures == -1 && info.store1Figure == -1);
    }

    // The clock: every camera reading gives a calendar time in range, which converts back.
    const CameraTime time = CameraTimeFromClock(status.clock);
    if (time.dayOfMonth != 0) {
        Check(time.second >= 0 && time.second <= 60);
        Check(time.month >= 0 && time.month <= 11);
        Check(time.dayOfMonth >= 1 && time.dayOfMonth <= 31);
        Check(time.year >= 94);
    }
    (void)ClockFromCameraTime(time);

    // Any calendar time the caller gives converts without fault.
    const uint8_t* t = input.data() + kStatusBlockSize;
    CameraTime given;
    given.second = Int16At(t);
    given.minute = Int16At(t + 2);
    given.hour = Int16At(t + 4);
    given.dayOfMonth = Int16At(t + 6);
    given.month = Int16At(t + 8);
    given.year = Int16At(t + 10);
    given.dayOfWeek = Int16At(t + 12);
    given.dayOfYear = Int16At(t + 14);
    given.isDst = Int16At(t + 16);
    (void)ClockFromCameraTime(given);

    for (int32_t store : {0, 1, 2, -1}) {
        const std::optional<int32_t> groups = StoreGroupCount(status, store);
        if (store == 0) {
            Check(groups.has_value());
        }
    }

    // Picture store records from the rest of the input.
    const std::span<const uint8_t> rest(data, size);
    std::vector<GroupEntry> entries(1 + (size % 40));
    FillGroupNames(rest, entries);
    for (char c : entries[0].name) {
        Check(c == 0);
    }
    const std::span<const uint8_t, kItemRecordBytes> record(input.data() + kStatusBlockSize + 18,
                                                            kItemRecordBytes);
    const ItemName item = ItemNameFromRecord(record);
    Check(item[7] == '.');
    NameTableBlock tableBlock = {};
    std::copy_n(input.begin(), std::min(input.size(), tableBlock.size()), tableBlock.begin());
    const NameTable table = NameTableFromBlock(tableBlock);
    for (const NameField& field : table) {
        Check(field[14] == 0);
        (void)NameIsValid(field);
    }
    const NameTableBlock again = BuildNameTableBlock(table);
    Check(NameTableFromBlock(again) == table);
    return 0;
}

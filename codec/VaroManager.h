// VaroManager: the field table of one Varo message, its wire frame builder and
// its frame parser.
//
// One object holds one message. Field data are byte strings: std::string used
// as a byte container, every one of the 256 byte values kept as it is.
// The object keeps no global state and is not thread-safe; the console makes a
// fresh one for each message it builds or parses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#if defined(VAROMGR_BUILDING)
#define VAROMGR_API __attribute__((visibility("default")))
#else
#define VAROMGR_API
#endif

class VAROMGR_API VaroManager {
public:
    // Called by GetOutput once before each field is encoded when MakeDoEvents
    // is true, so a host can keep its user interface responsive while a large
    // message is built. The hook must not touch this object.
    using EventHook = std::function<void()>;

    // Largest table: the count and every 1-based index are signed 16-bit, and
    // count + 1 must still be one.
    static constexpr int16_t kMaxFieldCount = 32766;

    // Results of AddField. Callers that build messages may ignore them.
    enum AddResult : int16_t {
        FieldAdded = 0,      // appended at the end
        FieldTableFull = 1,  // the table already holds kMaxFieldCount entries; unchanged
        FieldIdExists = 2,   // an entry with this ID exists; unchanged
    };

    // Results of ProcessMessage. Msg and Remainder afterwards:
    //   Parsed, DuplicateId, BadCheckByte, ShortRecord, DataOverrun,
    //   TooManyFields: Msg = the frame alone, Remainder = the bytes after it;
    //   NoStartByte, Incomplete: Msg unchanged, Remainder = all of Msg;
    //   BadLength: Msg unchanged, Remainder empty (see below).
    enum Result : int16_t {
        Parsed = 0,        // a complete, valid frame; all fields added
        NoStartByte = 1,   // first byte is not 0x01; nothing consumed
        DuplicateId = 2,   // a field ID repeats; the fields before it were added
        Incomplete = 3,    // fewer than 6 bytes, or fewer than L + 6 (for any
                           // L up to 2^31 - 7; nothing is allocated by L)
        BadCheckByte = 4,  // check byte neither 0x2C nor the XOR of the frame
        ShortRecord = 5,   // fewer than 6 body bytes where a field record starts
        DataOverrun = 6,   // a field's data length is negative or runs past the body;
                           // the fields before it were added
        // The body length L is negative, or L + 6 passes the signed 32-bit
        // range. Such a frame can never complete and its end cannot be found,
        // so nothing in Msg can be trusted to start the next frame: all of Msg
        // is consumed (Remainder empty), no field is added, and nothing is
        // allocated by the announced length. A reader that keeps Remainder
        // starts afresh with the next bytes it receives instead of waiting
        // forever for a frame that cannot arrive.
        BadLength = 7,
        // The frame holds more fields than the table may take (kMaxFieldCount,
        // counting the entries already there); the fields before were added.
        TooManyFields = 8,
    };

    VaroManager();
    ~VaroManager();
    VaroManager(const VaroManager &) = default;
    VaroManager &operator=(const VaroManager &) = default;
    VaroManager(VaroManager &&) noexcept = default;
    VaroManager &operator=(VaroManager &&) noexcept = default;

    void setProcessEvents(EventHook hook);

    uint8_t getProtocolVersion() const;   // always 1
    void Reset();

    // An AddResult: 0 = appended; 2 = an entry with this ID exists; 1 = the
    // table is full. In both refusals the table is unchanged.
    int16_t AddField(int16_t FieldID, const std::string &FieldData);
    // Replaces the data of the entry with this ID in place, or appends one.
    // On a full table a new ID is dropped (AddField reports that case).
    void UpdateField(int16_t FieldID, const std::string &FieldData);

    std::string GetFieldData(int16_t FieldID, const std::string &Default = {}) const;
    // FieldIndex is 1-based.
    std::string GetFieldDataByIndex(int16_t FieldIndex, const std::string &Default = {}) const;
    int16_t GetFieldIDByIndex(int16_t FieldIndex) const;   // -1 when out of range
    int16_t getFieldIndex(int16_t FieldID) const;          // 1-based, or -1
    bool FieldExists(int16_t FieldID) const;
    int16_t getFieldCount() const;

    // The frame of the current table: 0x01, body length, field records, and
    // the XOR check byte (DoCRC) or 0x2C. Does not change the table. With
    // MakeDoEvents the hook runs once before each field is encoded.
    // A table whose body would not fit the signed 32-bit length (over 2 GiB of
    // data) has no frame: the result is then empty.
    std::string GetOutput(bool DoCRC, bool MakeDoEvents = true) const;

    // Parses one frame from the front of Msg and appends its fields with
    // AddField (the table is not emptied first). See Result for what Msg and
    // Remainder hold afterwards. Msg and Remainder may be the same string; it
    // then holds what Remainder would.
    int16_t ProcessMessage(std::string &Msg, std::string &Remainder);

private:
    struct FieldRecord {
        int16_t FieldID;
        std::string FieldData;
    };

    int16_t appendField(int16_t FieldID, const char *data, std::size_t size);
    void serializeFields(std::string &out, bool MakeDoEvents) const;
    int16_t parseFrame(std::string_view frame);

    // Entries in the order of first addition; position i is m_fields[i - 1].
    std::vector<FieldRecord> m_fields;
    // Direct index from a field ID (as uint16_t) to its 1-based position, 0
    // for none. Built only once the table outgrows a short scan, then kept in
    // step with m_fields; empty before that.
    std::vector<uint16_t> m_positionById;
    EventHook m_processEvents;
};

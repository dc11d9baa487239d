// midifile.cpp - writing a recording: the Standard MIDI File and the text
// log described in midirecorder.h.
#include "host/shell/midifile.h"
#include "host/shell/shellerror.h"

#include <stdio.h>

#include <string>

int ShortMessageLength(DWORD message)
{
    DWORD status = message & 0xFF;
    if (status < 0xC0 || (status >= 0xE0 && status < 0xF0))
        return 3;  // also a running-status message
    if (status < 0xE0)
        return 2;  // program change, channel pressure
    if (status == 0xF1 || status == 0xF3)
        return 2;
    if (status == 0xF2)
        return 3;
    return 1;
}

static bool WriteBytes(const wchar_t *path, const std::string &bytes)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!ok)
        ShellError(L"Unable to write %s (error %lu)\r\n", path, error);
    return ok;
}

static void AppendBigEndian(std::string &bytes, DWORD value, int size)
{
    for (int shift = (size - 1) * 8; shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
}

// A variable-length quantity: seven bits a byte, most significant first,
// the high bit set on all but the last.
static void AppendVariableLength(std::string &bytes, DWORD value)
{
    char groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        bytes += static_cast<char>(groups[--count] | 0x80);
    bytes += groups[0];
}

// Milliseconds, rounded: one tick each.
static DWORD Ticks(unsigned long long micros)
{
    return static_cast<DWORD>((micros + 500) / 1000);
}

bool WriteMidiFile(const wchar_t *path, const std::vector<MidiEvent> &events)
{
    std::string track;
    AppendVariableLength(track, 0);
    track += std::string("\xFF\x51\x03\x0F\x42\x40", 6);  // tempo: 1,000,000 us a quarter
    DWORD last = 0;
    for (const MidiEvent &event : events) {
        DWORD status = event.value & 0xFF;
        // A track holds channel messages; system messages and running status
        // would be read as something else there.
        if (event.kind != MidiMessage || status < 0x80 || status >= 0xF0)
            continue;
        DWORD ticks = Ticks(event.micros);
        AppendVariableLength(track, ticks - last);
        last = ticks;
        int length = ShortMessageLength(event.value);
        track += static_cast<char>(status);
        for (int i = 1; i < length; i++)
            track += static_cast<char>((event.value >> (8 * i)) & 0x7F);
    }
    AppendVariableLength(track, 0);
    track += std::string("\xFF\x2F\x00", 3);  // end of track

    std::string file("MThd", 4);
    AppendBigEndian(file, 6, 4);
    AppendBigEndian(file, 0, 2);     // format 0
    AppendBigEndian(file, 1, 2);     // one track
    AppendBigEndian(file, 1000, 2);  // ticks per quarter
    file.append("MTrk", 4);
    AppendBigEndian(file, static_cast<DWORD>(track.size()), 4);
    file += track;
    return WriteBytes(path, file);
}

bool WriteMidiLog(const wchar_t *path, const std::vector<MidiEvent> &events)
{
    std::string text;
    for (const MidiEvent &event : events) {
        char line[64];
        int n = _snprintf(line, sizeof line, "%I64u.%03u", event.micros / 1000,
                          static_cast<unsigned>(event.micros % 1000));
        if (n < 0)
            continue;
        text.append(line, static_cast<size_t>(n));
        switch (event.kind) {
        case MidiMessage:
            for (int i = 0; i < ShortMessageLength(event.value); i++) {
                n = _snprintf(line, sizeof line, " %02X",
                              static_cast<unsigned>((event.value >> (8 * i)) & 0xFF));
                text.append(line, static_cast<size_t>(n));
            }
            break;
        case MidiOpen:
            if (event.device == MIDI_MAPPER)
                n = _snprintf(line, sizeof line, " open %lu device mapper", event.value);
            else
                n = _snprintf(line, sizeof line, " open %lu device %u", event.value, event.device);
            text.append(line, static_cast<size_t>(n));
            break;
        case MidiReset:
        case MidiClose:
            n = _snprintf(line, sizeof line, " %s %lu", event.kind == MidiReset ? "reset" : "close",
                          event.value);
            text.append(line, static_cast<size_t>(n));
            break;
        }
        text += '\n';
    }
    return WriteBytes(path, text);
}

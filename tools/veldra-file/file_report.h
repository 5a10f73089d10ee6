// What veldra-file prints at each refresh point: the CSV line for scripts, or the table
// for a person, with note names and deviations on the tuner's own scale (C1 = 32.7 Hz).
//
// The table shows refreshes where the pitch is stable: time, note and octave, whole cents
// from that note, the frequency to 0.1 Hz, and the mode's nearest open string with its
// deviation when one lies within a semitone. Consecutive lines that would read the same
// are folded into one line with a time span, so a held note or a pause prints once.
//
// Thread: any; a TableWriter belongs to one run.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "views/views.h"

namespace veldra {

// Everything one refresh point handed to the dial, as the CSV reports it.
struct RefreshRow {
    int64_t block;        // 1-based index of the block that is the refresh point
    float frequency;      // handed to updateDial, Hz
    bool stable;          // handed to updateDial
    double period;        // currentPeriod, samples
    double recentPeriod;  // recentPeriod(0), samples
    int32_t recentCount;  // periods in the recent list
    char needle[12];      // "none", "low", "high" or the needle's angle index
};

// The first eight columns are the stable part: scripts may rely on them staying as they
// are. The reading's columns after them name the stable frequency as a player reads it.
inline constexpr const char* csvHeader =
    "block,time_s,frequency_hz,stable,period,recent_period,recent_count,needle";
inline constexpr const char* csvReadingHeader = ",note,cents,string";

// What the dial was handed at the refresh point that block (1-based) just was, read from
// the pipeline, the validator and the dial.
RefreshRow refreshRow(int64_t block);

// block x 220 / 22050: the end of the refresh block in seconds of sound.
double blockSeconds(int64_t block);

// The CSV line of a row, without the newline: the first eight columns.
std::string csvLine(const RefreshRow& row);

// The reading's columns, each after a comma, for a stable row: the note of its frequency
// without the blank ("A4", "C#3"), the signed cents from it to a tenth ("+4.3", "-12.0",
// "0.0"), the number of kind's open string within a semitone, as the table says them;
// empty where nothing is read (row not stable) and, the string, where none is that near.
std::string csvReadingColumns(const RefreshRow& row, InstrumentKind kind);

// The table for a person, written as the refreshes come.
class TableWriter {
  public:
    TableWriter(std::ostream& out, InstrumentKind kind) : out_(out), kind_(kind) {}
    // The title and the column heads.
    void begin(const std::string& title, const std::string& source);
    // One refresh point: shown when stable, folded into the line before when it reads the same.
    void add(const RefreshRow& row);
    // Writes the line still held back for folding, and a summary.
    void end();

  private:
    void flush();

    std::ostream& out_;
    InstrumentKind kind_;     // the mode whose strings are named
    std::string pending_;     // the held-back line without its time; empty when none
    double pendingFrom_ = 0;  // its first and last refresh time, seconds
    double pendingTo_ = 0;
    int64_t shown_ = 0;  // stable refreshes seen
};

}  // namespace veldra

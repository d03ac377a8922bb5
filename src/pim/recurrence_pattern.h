// The recurrence pattern of a repeating appointment or task, as the device's object
// model has it, and the exceptions made by deleting single occurrences.
//
// A series ends in one of three ways, and setting one turns the other two off:
//   no end        NoEndDate() true,  Occurrences() 0,  PatternEndDate() kNoDate
//   after a count NoEndDate() false, Occurrences() n,  PatternEndDate() kNoDate
//   on a date     NoEndDate() false, Occurrences() the number of occurrences from the
//                 series start through that date (at least 1), PatternEndDate() the date
// Every other value is kept exactly as it was put, whether or not it makes sense
// (an Instance of 0, a DayOfMonth of 32 or -1); what such values mean for the
// occurrences is said in occurrences.h.
//
// Changing the pattern (any Set call) drops the exceptions made so far, as the device
// does: they belonged to the series as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "pim/occurrences.h"

namespace kova::pim {

// An occurrence removed from its series; OriginalDate is the start it had.
struct Exception {
    double OriginalDate;
    bool Deleted;
};

class RecurrencePattern {
public:
    // series_start gives the start of the item that owns the pattern (date and time of
    // day), read each time it is needed, since the item's start may change.
    explicit RecurrencePattern(std::function<double()> series_start);

    int32_t RecurrenceType() const { return rule_.type; }
    int32_t Interval() const { return rule_.interval; }
    int32_t DayOfWeekMask() const { return rule_.mask; }
    int32_t Instance() const { return rule_.instance; }
    int32_t DayOfMonth() const { return rule_.day_of_month; }
    int32_t MonthOfYear() const { return rule_.month_of_year; }
    bool NoEndDate() const { return rule_.end == SeriesEnd::None; }
    int32_t Occurrences() const;
    double PatternEndDate() const;
    // kNoDate unless set; the series then starts at the owner's start.
    double PatternStartDate() const { return pattern_start_; }

    void SetRecurrenceType(int32_t type);
    void SetInterval(int32_t interval);
    void SetDayOfWeekMask(int32_t mask);
    void SetInstance(int32_t instance);
    void SetDayOfMonth(int32_t day);
    void SetMonthOfYear(int32_t month);
    // true: no end. false on a series without end ends it after one occurrence.
    void SetNoEndDate(bool no_end);
    void SetOccurrences(int32_t count);
    // kNoDate means no end.
    void SetPatternEndDate(double date);
    void SetPatternStartDate(double date);

    // The start of the series: PatternStartDate when set, else the owner's start.
    double SeriesStart() const;

    // The start of the occurrence at date: an occurrence that starts exactly then (to
    // the second), or, when date is a midnight, the occurrence on that day. Deleted
    // occurrences are not found. Never walks further than date.
    std::optional<double> Find(double date) const;
    // Records the occurrence that starts at start as a deleted exception.
    void DeleteOccurrence(double start);
    // In the order they were made.
    const std::vector<Exception> &Exceptions() const { return exceptions_; }

    // Occurrence starts from..to (inclusive), at most limit of them, deleted ones left
    // out; for listings.
    std::vector<double> List(double from, double to, size_t limit) const;

    // The stored state, as the database keeps it.
    const SeriesRule &rule() const { return rule_; }
    void restore(const SeriesRule &rule, double pattern_start, std::vector<Exception> exceptions);

private:
    void changed() { exceptions_.clear(); }

    std::function<double()> series_start_;
    SeriesRule rule_;
    double pattern_start_ = kNoDate;
    std::vector<Exception> exceptions_;
};

}  // namespace kova::pim

#pragma once

#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult

#include <cstddef>
#include <string>
#include <filesystem>
#include <span>

namespace quenda {

// The patient file: a bare array of 288-byte PatientRecord slots, the slot of
// ID n at offset (n - 1) * 288; no header, count or checksum. Bytes never
// written read as zero. The program decides where the file lives.
//
// It holds health data, so what this code creates is private to the user:
// folders 0700, the file 0600 (an existing file keeps its permissions).
//
// A slot is written in place (pwrite + fsync) rather than by replacing the
// whole file: slots have a fixed size and place, so a write touches only the
// 288 bytes of its own ID, and no failure can truncate the file or disturb the
// other patients' slots. The worst a crash in the middle of a write can leave
// is that one slot half old and half new - the same patient either way - where
// copy-and-rename would buy all-or-nothing for that one record at the price of
// rewriting every other patient's record on each save.

namespace patient_file_message {
// %1 the file's path, %2 the system's reason.
inline constexpr const char* kCantWrite = "The patient details could not be saved to %1: %2";
inline constexpr const char* kCantRead = "The patient details could not be read from %1: %2";
inline constexpr const char* kCantCreate = "The patient file %1 could not be created: %2";
}  // namespace patient_file_message

// The start-up check: whether the file opens for reading.
bool CanReadPatientFile(const std::filesystem::path& file);

// Makes the missing folders and an empty file (as at start-up); an existing
// file is left as it is.
FileResult CreatePatientFile(const std::filesystem::path& file);

// Reads up to 288 bytes of the slot at index (ID - 1) into `slot`; bytes past
// the end of the file are not touched. `bytesRead` says how many were read.
// A missing file reads nothing and is no error.
FileResult ReadPatientSlot(const std::filesystem::path& file, int index,
                           std::span<std::uint8_t, kPatientRecordSize> slot, std::size_t& bytesRead);

// The name (UTF-8) in the slot of ID `id`, read quietly: empty when the ID is
// out of range or the slot cannot be read whole. What the nights library
// records as "the patient name of the moment".
std::string PatientNameOf(const std::filesystem::path& file, int id);

// The record of ID `id` for a page or an export: what its slot holds, or a
// record holding only the ID when the ID has no slot, the slot was never
// written or the file is missing. A file that cannot be read gives that record
// too, and why in `failure` when it is given.
PatientRecord ReadPatientOrEmpty(const std::filesystem::path& file, int id, FileResult* failure = nullptr);

// Writes one slot, ID 1..128. An existing file is written in place (extended
// when shorter than the slot's end); a missing file is created with its folder
// and made 36,864 bytes (128 zero slots) first.
FileResult WritePatientSlot(const std::filesystem::path& file, int id,
                            std::span<const std::uint8_t, kPatientRecordSize> slot);

}  // namespace quenda

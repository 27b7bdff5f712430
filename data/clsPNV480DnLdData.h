#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "clsDnLdUnitDataArray.h"
#include "clsDownloadUnit.h"

class clsApdReader;

// One update data file (.apd): opens it read-only, checks it section by
// section, undoes its scrambling and page order, and keeps the flash data and
// the parameter data as two lists of download blocks with a cursor each.
//
// Every byte of the file is untrusted. A file that is short, damaged or made
// for another tool ends in one of the four failure cases below, never in a
// read outside a buffer.
//
// Block counts and cursors are 32-bit: a full-size file has about 75,000
// flash blocks, more than a 16-bit count holds.
class clsPNV480DnLdData {
  public:
    // Why the last LoadData failed.
    enum class LoadFailure {
        None,
        CannotOpen,   // A: the file cannot be opened
        ToolVersion,  // B: this tool's version is not in the file's tool list
        Content,      // C: a length, limit, CRC or section check failed, or the file ended early
        Preparation,  // D: any other fault (a section of no pages, too many header pages, memory)
    };

    static constexpr std::int32_t kFlashBlockSize = 224;
    static constexpr std::int32_t kParameterBlockSize = 64;
    static constexpr std::int32_t kParameterBaseAddress = 0x70;
    static constexpr std::size_t kVersionLimit = 13;
    static constexpr std::size_t kListLimit = 501;

    clsPNV480DnLdData();
    clsPNV480DnLdData(const clsPNV480DnLdData&) = delete;
    clsPNV480DnLdData& operator=(const clsPNV480DnLdData&) = delete;
    ~clsPNV480DnLdData();

    // Sets the file name, forgets everything loaded, empties both lists and
    // puts both cursors before their first block.
    void InitSetup(const std::string& fileName);

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }
    const std::string& ToolVersion() const { return toolVersion_; }
    void SetToolVersion(const std::string& version) { toolVersion_ = version; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    LoadFailure LastFailure() const { return lastFailure_; }
    // What the last LoadData found wrong, plainly and in English, for tools
    // and support rather than the operator: which part or check failed and,
    // for a file that ends early, how long it is and which bytes were due.
    const std::string& FailureReason() const { return failureReason_; }

    // Loads the file named by FileName. False on failure, with ErrorMessage
    // and LastFailure telling why; the lists are then not to be used.
    bool LoadData();
    // The same checks over a file image already in memory.
    bool LoadData(std::span<const std::uint8_t> image);

    // What the file declares (byte strings, as read).
    const std::string& DataFileVersion() const { return dataFileVersion_; }
    const std::string& ToolVersionList() const { return toolVersionList_; }
    const std::string& UnitProgramVersionList() const { return unitProgramVersionList_; }
    std::int32_t HeaderWord() const { return headerWord_; }
    std::int32_t SkipPageCount() const { return skipPages_; }
    std::int32_t BodyLength() const { return bodyLength_; }
    std::int32_t ParameterDataLength() const { return parameterLength_; }
    std::int32_t FlashDataLength() const { return flashLength_; }

    // True when the unit program version's name part is in the file's unit list.
    bool CheckUnitProgramVersion(std::string_view version) const;

    std::int32_t TotalFlashBlocks() const { return flashBlocks_->Count(); }
    std::int32_t TotalEEPParmBlocks() const { return parameterBlocks_->Count(); }
    const clsDnLdUnitDataArray& FlashBlocks() const { return *flashBlocks_; }
    const clsDnLdUnitDataArray& EEPParameterBlocks() const { return *parameterBlocks_; }

    // Cursors: -1 stands before the first block. Next moves on and returns
    // that block, or nullptr at the end (the cursor then stays on the last
    // block); Curr returns the block at the cursor or nullptr.
    std::int32_t FlashBlockIndex() const { return flashIndex_; }
    std::int32_t EEPParmBlockIndex() const { return parameterIndex_; }
    void FlashBlockIndexReset() { flashIndex_ = -1; }
    void EEPParameterBlockIndexReset() { parameterIndex_ = -1; }
    const clsDownloadUnit* NextFlashBlock();
    const clsDownloadUnit* CurrFlashBlock() const;
    const clsDownloadUnit* NextEEPParameterBlock();
    const clsDownloadUnit* CurrEEPParameterBlock() const;

    // Little-endian values of the first three / two bytes; missing bytes count 0.
    static std::int32_t ThreeByteDataToInteger(std::span<const std::uint8_t> bytes);
    static std::int32_t TwoByteDataToInteger(std::span<const std::uint8_t> bytes);

    // True when the part of `version` before its first "." equals, ignoring
    // case, the same part of one of the ","-separated items of `list`. An
    // empty part never matches.
    static bool MatchVersionList(std::string_view version, std::string_view list);

    // The operator texts of the failure cases (D is followed by " : " and a
    // description of the fault).
    static const std::string& MessageCannotOpen();
    static const std::string& MessageToolVersion();
    static const std::string& MessageContent();
    static const std::string& MessagePreparation();

  private:
    bool Load(clsApdReader& reader);
    bool ReadVersionText(clsApdReader& reader, std::size_t limit, std::string& text);
    bool ParseHeaderSection(std::span<std::uint8_t> header, std::uint8_t key);
    bool ParseBodySection(clsApdReader& reader, std::shared_ptr<std::uint8_t[]> body,
                          std::size_t bodySize, std::uint8_t key);
    bool Fail(LoadFailure failure, std::string_view description = {});
    bool FailContent(std::string reason);
    static const clsDownloadUnit* Next(const clsDnLdUnitDataArray& list, std::int32_t& cursor);
    static const clsDownloadUnit* Current(const clsDnLdUnitDataArray& list, std::int32_t cursor);

    std::string fileName_;
    std::string toolVersion_;
    std::string errorMessage_;
    std::string failureReason_;
    LoadFailure lastFailure_ = LoadFailure::None;

    std::string dataFileVersion_;
    std::string toolVersionList_;
    std::string unitProgramVersionList_;
    std::int32_t headerWord_ = 0;
    std::int32_t skipPages_ = 0;
    std::int32_t bodyLength_ = 0;
    std::int32_t parameterLength_ = 0;
    std::int32_t flashLength_ = 0;
    std::vector<std::uint16_t> pageOrder_;

    std::unique_ptr<clsDnLdUnitDataArray> flashBlocks_;
    std::unique_ptr<clsDnLdUnitDataArray> parameterBlocks_;
    std::int32_t flashIndex_ = -1;
    std::int32_t parameterIndex_ = -1;
};

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class clsRandom;

// The part every configuration table shares: the link security table, the
// random material and the unit's program and data versions.
//
// All random fields are drawn once at creation from the object's own random
// source; the default constructor seeds it from the operating system, tests
// pass a seed.
class clsUnitConfigBase {
  public:
    clsUnitConfigBase();
    explicit clsUnitConfigBase(std::uint64_t seed);

    // 14 random bytes and their CRC-16/MODBUS (low-order byte first), so the
    // whole table passes the CRC check.
    std::vector<std::uint8_t> SecurityTable() const;
    // 64 random bytes (the data of the FNull command).
    std::vector<std::uint8_t> ForceNullBytes() const;
    // 256 random bytes.
    std::vector<std::uint8_t> RandomBytes() const;

    std::uint8_t RandomInex() const { return randomInex_; }
    void SetRandomInex(std::uint8_t index) { randomInex_ = index; }

    // Filled from the unit's replies by the command layer; empty at creation.
    std::string UnitProgramVersion() const { return unitProgramVersion_; }
    void SetUnitProgramVersion(std::string version) { unitProgramVersion_ = std::move(version); }
    std::string UnitMapVersion() const { return unitMapVersion_; }
    void SetUnitMapVersion(std::string version) { unitMapVersion_ = std::move(version); }

  private:
    void Create(clsRandom& random);

    std::array<std::uint8_t, 16> securityTable_{};
    std::array<std::uint8_t, 64> forceNullBytes_{};
    std::array<std::uint8_t, 256> randomBytes_{};
    std::uint8_t randomInex_ = 0;
    std::string unitProgramVersion_;
    std::string unitMapVersion_;
};

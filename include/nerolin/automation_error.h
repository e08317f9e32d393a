#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "nerolin/export.h"

namespace nerolin {

// Error numbers the engine raises, as VB and ADO number them.
namespace errors {
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kBadFileName = 52;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kFileNotFound = 53;
inline constexpr std::int32_t kPathFileAccess = 75;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kCantCreateObject = 429;
inline constexpr std::int32_t kNoSuchMember = 438;
inline constexpr std::int32_t kWrongArgumentCount = 450;
inline constexpr std::int32_t kDuplicateKey = 457;
inline constexpr std::int32_t kBofOrEof = 3021;
inline constexpr std::int32_t kItemNotFound = 3265;
inline constexpr std::int32_t kObjectClosed = 3704;
inline constexpr std::int32_t kObjectOpen = 3705;
}  // namespace errors

// The component's own error: a connection was needed and ConnectionString
// is empty.
inline constexpr std::int32_t kErrNoConnectionString = -2147221381;
inline constexpr std::string_view kNoConnectionStringText =
    "La cadena de conexión no fué establecida";
// Raised by printing, preview and PDF export in a build configured without
// them (NEROLIN_WITH_PRINTING=OFF).
inline constexpr std::int32_t kErrPrintingNotBuilt = -2147221380;
inline constexpr std::string_view kPrintingNotBuiltText =
    "printing is not part of this build";
// The name the component's errors carry as their source.
inline constexpr std::string_view kComponentName = "NerolinHTMLReport";
// The ProgID of the engine's main class, which nested reports create.
inline constexpr std::string_view kEngineProgId = "NerolinHTMLReport.clsMain";

// The standard English description of a VB or ADO error number, or
// "Application-defined or object-defined error" for any other number.
NEROLIN_EXPORT std::string_view StandardDescription(std::int32_t number);

// The one form in which a failure leaves a public member: a number, a
// description and the name of the component or object that raised it.
class NEROLIN_EXPORT AutomationError : public std::exception {
 public:
  // An error with the standard description of `number`.
  explicit AutomationError(std::int32_t number, std::string source = {});
  AutomationError(std::int32_t number, std::string description,
                  std::string source);

  std::int32_t number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

  // "Error NUMBER: DESCRIPTION".
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  std::string description_;
  std::string source_;
  std::string what_;
};

// The one way a failure in flight becomes an AutomationError: `failure`
// itself when it is one; 7 "Out of memory" for an allocation failure; 51
// with the exception's own text for any other exception. The last two carry
// `source`.
NEROLIN_EXPORT AutomationError
AsAutomationError(const std::exception_ptr& failure, std::string_view source);

}  // namespace nerolin

#include "nerolin/automation_error.h"

#include <new>

namespace nerolin {

std::string_view StandardDescription(std::int32_t number) {
  switch (number) {
    case errors::kInvalidArgument:
      return "Invalid procedure call or argument";
    case errors::kOverflow:
      return "Overflow";
    case errors::kSubscriptOutOfRange:
      return "Subscript out of range";
    case errors::kTypeMismatch:
      return "Type mismatch";
    case errors::kBadFileName:
      return "Bad file name or number";
    case errors::kFileNotFound:
      return "File not found";
    case errors::kPathFileAccess:
      return "Path/File access error";
    case errors::kObjectNotSet:
      return "Object variable or With block variable not set";
    case errors::kInvalidUseOfNull:
      return "Invalid use of Null";
    case errors::kCantCreateObject:
      return "ActiveX component can't create object";
    case errors::kNoSuchMember:
      return "Object doesn't support this property or method";
    case errors::kWrongArgumentCount:
      return "Wrong number of arguments or invalid property assignment";
    case errors::kDuplicateKey:
      return "This key is already associated with an element of this "
             "collection";
    case errors::kBofOrEof:
      return "Either BOF or EOF is True, or the current record has been "
             "deleted. Requested operation requires a current record.";
    case errors::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the "
             "requested name or ordinal.";
    case errors::kObjectClosed:
      return "Operation is not allowed when the object is closed.";
    case errors::kObjectOpen:
      return "Operation is not allowed when the object is open.";
    default:
      return "Application-defined or object-defined error";
  }
}

AutomationError::AutomationError(std::int32_t number, std::string source)
    : AutomationError(number, std::string(StandardDescription(number)),
                      std::move(source)) {}

AutomationError::AutomationError(std::int32_t number, std::string description,
                                 std::string source)
    : number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      what_("Error " + std::to_string(number_) + ": " + description_) {}

AutomationError AsAutomationError(const std::exception_ptr& failure,
                                  std::string_view source) {
  try {
    std::rethrow_exception(failure);
  } catch (const AutomationError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return AutomationError(errors::kOutOfMemory, "Out of memory",
                           std::string(source));
  } catch (const std::exception& error) {
    return AutomationError(errors::kInternalError, error.what(),
                           std::string(source));
  } catch (...) {
    return AutomationError(errors::kInternalError,
                           "Unexpected failure of an unknown kind",
                           std::string(source));
  }
}

}  // namespace nerolin

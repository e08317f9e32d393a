#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "nerolin/export.h"
#include "nerolin/variant.h"

namespace nerolin {

// How a member is invoked, with the automation flag values.
enum class InvokeKind : int {
  kMethod = 1,
  kPropertyGet = 2,
  kPropertyPut = 4,
  kPropertyPutRef = 8,
};

// The arguments of a call by name, in the member's parameter order. A
// member may assign to an element: that is how by-reference parameters
// reach the caller. Trailing optional arguments may be left out.
using Arguments = std::vector<Variant>;

// Everything a caller may reach by member name: the engine's public
// classes, the host data library, recordsets and fields.
class NEROLIN_EXPORT Object : public std::enable_shared_from_this<Object> {
 public:
  virtual ~Object() = default;

  // The class name as TypeName reports it ("clsMain", "Recordset").
  virtual std::string_view TypeName() const = 0;

  // Calls `member` (compared without regard to case). For a property put
  // the new value is the last argument. Raises error 438 when the object
  // has no such member or does not support `kind` on it, 450 when the
  // argument count does not fit, and whatever the member raises.
  virtual Variant Invoke(std::string_view member, InvokeKind kind,
                         Arguments& args) = 0;

  // The value of the object's default member (a Field's Value), used when
  // the object stands where a plain value is needed. Raises error 438 when
  // the object has none.
  virtual Variant DefaultValue();

  // Convenience forms of Invoke.
  Variant Call(std::string_view method, Arguments args = {});
  Variant Get(std::string_view property, Arguments args = {});
  void Put(std::string_view property, Variant value);
  void PutRef(std::string_view property, Variant value);
};

// The members of a class by name, for implementing Invoke. Each handler
// receives the object, the invocation kind and the arguments.
template <class T>
class MemberTable {
 public:
  using Handler = std::function<Variant(T&, InvokeKind, Arguments&)>;

  // A method callable as a method or, like VB, as a property get.
  MemberTable& Method(std::string_view name, std::size_t min_args,
                      std::size_t max_args, Handler handler) {
    Add(name, Entry{min_args, max_args, std::move(handler), {}});
    return *this;
  }
  // A property without parameters; `getter` or `setter` may be empty for
  // write-only or read-only properties. The setter receives the new value
  // as its one argument and serves both put and put-by-reference. A
  // read-only property is best declared as a Method with no arguments.
  MemberTable& Property(std::string_view name, Handler getter, Handler setter) {
    Add(name, Entry{0, 0, std::move(getter), std::move(setter)});
    return *this;
  }

  Variant Invoke(T& self, std::string_view member, InvokeKind kind,
                 Arguments& args) const;

 private:
  struct Entry {
    std::size_t min_args;
    std::size_t max_args;
    Handler get;  // method or getter
    Handler put;
  };
  void Add(std::string_view name, Entry entry);

  std::unordered_map<std::string, Entry> members_;  // upper-cased names
};

// Raises error 450 unless `args` holds from `min` to `max` elements.
NEROLIN_EXPORT void CheckArgumentCount(const Arguments& args, std::size_t min,
                                       std::size_t max);

// The upper-cased member name used as a table key.
NEROLIN_EXPORT std::string MemberKey(std::string_view name);

// Raises error 438 for `member`.
[[noreturn]] void ThrowNoSuchMember(std::string_view type_name,
                                    std::string_view member);

template <class T>
void MemberTable<T>::Add(std::string_view name, Entry entry) {
  members_.insert_or_assign(MemberKey(name), std::move(entry));
}

template <class T>
Variant MemberTable<T>::Invoke(T& self, std::string_view member,
                               InvokeKind kind, Arguments& args) const {
  auto it = members_.find(MemberKey(member));
  if (it == members_.end()) ThrowNoSuchMember(self.TypeName(), member);
  const Entry& entry = it->second;
  switch (kind) {
    case InvokeKind::kMethod:
    case InvokeKind::kPropertyGet:
      if (!entry.get) ThrowNoSuchMember(self.TypeName(), member);
      CheckArgumentCount(args, entry.min_args, entry.max_args);
      return entry.get(self, kind, args);
    case InvokeKind::kPropertyPut:
    case InvokeKind::kPropertyPutRef:
      if (!entry.put) ThrowNoSuchMember(self.TypeName(), member);
      CheckArgumentCount(args, 1, 1);
      entry.put(self, kind, args);
      return {};
  }
  ThrowNoSuchMember(self.TypeName(), member);
}

}  // namespace nerolin

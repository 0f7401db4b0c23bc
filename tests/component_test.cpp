// The Linux component boundary in-process, with a fake panel behind it:
// class factory, interface lookup, dispatch and the unload count.

#include <gtest/gtest.h>

#include <array>

#include "library/component.h"
#include "library/identity.h"

namespace borvane {
namespace {

class EchoTarget final : public Automatable {
 public:
  std::string DisplayTime() override { return ""; }
  std::string DeCrypt(Variant& texti, Variant& salasana) override {
    salasana = Variant(0.0);
    return texti.ToText();
  }
};

com::AutomatableMaker Maker() {
  return [] { return std::make_unique<EchoTarget>(); };
}

TEST(ComponentFactory, RefusesForeignAndPrivateClasses) {
  void* out = reinterpret_cast<void*>(1);
  const Guid foreign{"00000000-1111-2222-3333-444444444444"};
  EXPECT_EQ(com::GetClassObject(foreign, com::kIidClassFactory, &out, Maker()),
            kClassNotAvailable);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(com::GetClassObject(identity::kButtonClsid, com::kIidClassFactory, &out, Maker()),
            kClassNotAvailable);
  EXPECT_EQ(com::GetClassObject(identity::kClientClsid, com::kIidClassFactory, nullptr, Maker()),
            kPointer);
  EXPECT_EQ(com::CanUnloadNow(), kOk);
}

TEST(ComponentFactory, CreatesClientAndCountsObjectsAndLocksUntilReleased) {
  void* raw = nullptr;
  ASSERT_EQ(com::GetClassObject(identity::kClientClsid, com::kIidClassFactory, &raw, Maker()), kOk);
  auto* factory = static_cast<com::IClassFactory*>(raw);
  EXPECT_EQ(com::CanUnloadNow(), kFalse);

  void* none = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, identity::kButtonIid, &none), kNoInterface);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<com::IUnknown*>(factory), com::kIidUnknown,
                                    &none),
            kNoAggregation);

  void* object_raw = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, identity::kClientIid, &object_raw), kOk);
  auto* object = static_cast<com::IAutomation*>(object_raw);
  ASSERT_EQ(factory->LockServer(true), kOk);
  factory->Release();
  EXPECT_EQ(com::CanUnloadNow(), kFalse);

  void* dispatch = nullptr;
  ASSERT_EQ(object->QueryInterface(com::kIidDispatch, &dispatch), kOk);
  EXPECT_EQ(dispatch, object_raw);
  static_cast<com::IAutomation*>(dispatch)->Release();

  Variant text("2005");
  Variant key(std::int32_t{53190427});
  std::array<Variant*, 2> args{&text, &key};
  Variant result;
  ASSERT_EQ(object->Invoke(identity::kDispIdDeCrypt, args.data(), 2, &result, nullptr), kOk);
  EXPECT_EQ(result.ToText(), "2005");
  EXPECT_EQ(key.ToDouble(), 0.0);
  EXPECT_EQ(object->Invoke(7, nullptr, 0, nullptr, nullptr), kDispMemberNotFound);

  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(com::CanUnloadNow(), kFalse);  // the lock still holds the library

  // The first factory is gone; any factory can take the lock off again.
  ASSERT_EQ(com::GetClassObject(identity::kClientClsid, com::kIidClassFactory, &raw, Maker()), kOk);
  factory = static_cast<com::IClassFactory*>(raw);
  ASSERT_EQ(factory->LockServer(false), kOk);
  factory->Release();
  EXPECT_EQ(com::CanUnloadNow(), kOk);
}

}  // namespace
}  // namespace borvane

#pragma once
// One list of published fields per class, so that the header's members and the table's
// properties come from the same lines and cannot drift apart (names, order, count). For records
// whose field order is their wire order:
//
//     #define TGeoLabelData_FIELDS(X)            // in the header: type, name (without the F)
//         X(String, ParcelNumber)
//         X(std::int32_t, ParcelRank)
//     class TGeoLabelData : public TROComplexType {
//         VGL_CLASS(TGeoLabelData, TROComplexType)
//         TGeoLabelData_FIELDS(VGL_DECLARE_FIELD)   // String FParcelNumber{}; std::int32_t FParcelRank{};
//     };
//
//     VGL_DEFINE_CLASS(TGeoLabelData) {              // in the .cpp, with reflection_builder.h
//         TGeoLabelData_FIELDS(VGL_PUBLISH_FIELD)    // b.Property(u"ParcelNumber", &TGeoLabelData::FParcelNumber); ...
//     }
//
// A field that needs modifiers (a default, another type identity) is published by hand after or
// instead of the list.

#include <type_traits>

namespace vgl::reflection_detail {
/// The class a ClassBuilder fills.
template <class B> struct BuiltClass;
template <template <class> class B, class T> struct BuiltClass<B<T>> { using type = T; };
} // namespace vgl::reflection_detail

/// Declares the member F<Name> of type Type, value-initialised (0, false, empty, none).
#define VGL_DECLARE_FIELD(Type, Name) Type F##Name{};
/// Publishes the member F<Name> as the property "Name" through the builder `b` of VGL_DEFINE_CLASS.
#define VGL_PUBLISH_FIELD(Type, Name)                                                                                  \
    b.Property(u"" #Name, &::vgl::reflection_detail::BuiltClass<std::remove_cvref_t<decltype(b)>>::type::F##Name);
/// The name of the field as text, for lists of names: u"Name",
#define VGL_FIELD_NAME(Type, Name) u"" #Name,

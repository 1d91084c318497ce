// The vertex shader extension's symbols: the data type each generated id was created with decides
// how many values its invariants, local constants and variants carry.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"

namespace kestrel {

std::uint32_t GLKestrel::SymbolValues(kgl::GLuint id) const {
    return rules::SymbolTypeValues(symbolTypes_.Find(id));
}

kgl::GLuint GLKestrel::glGenSymbolsEXT(kgl::GLenum datatype, kgl::GLenum storagetype, kgl::GLenum range,
                                       kgl::GLuint components) {
    EnterCall();
    const kgl::GLuint result = CallReal<kgl::GLuint>(*this, fn::glGenSymbolsEXT, api::glGenSymbolsEXT, datatype,
                                                     storagetype, range, components);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::glGenSymbolsEXT, datatype, storagetype, range, components, result);
    // A failed call gives 0 and no ids.
    if (result != 0) symbolTypes_.Set(result, range, datatype);
    LeaveCall();
    return result;
}

namespace {

// id, type, address, then the symbol's values of that type.
void RecordSymbolValues(GLKestrel& k, std::uint32_t apiId, kgl::GLuint id, kgl::GLenum type, const void* addr) {
    RecordWithBlock(k, apiId, addr, k.SymbolValues(id) * rules::TypeSize(type), id, type, addr);
}

}  // namespace

void GLKestrel::glSetInvariantEXT(kgl::GLuint id, kgl::GLenum type, const void* addr) {
    EnterCall();
    CallReal<void>(*this, fn::glSetInvariantEXT, api::glSetInvariantEXT, id, type, addr);
    if (ShouldRecordOrLeave()) return;
    RecordSymbolValues(*this, api::glSetInvariantEXT, id, type, addr);
    LeaveCall();
}

void GLKestrel::glSetLocalConstantEXT(kgl::GLuint id, kgl::GLenum type, const void* addr) {
    EnterCall();
    CallReal<void>(*this, fn::glSetLocalConstantEXT, api::glSetLocalConstantEXT, id, type, addr);
    if (ShouldRecordOrLeave()) return;
    RecordSymbolValues(*this, api::glSetLocalConstantEXT, id, type, addr);
    LeaveCall();
}

namespace {

// id, address, then the variant's values at the width of the form.
template <class T>
void RecordVariant(GLKestrel& k, unsigned index, std::uint32_t apiId, kgl::GLuint id, const T* addr) {
    k.EnterCall();
    CallReal<void>(k, index, apiId, id, addr);
    if (k.ShouldRecordOrLeave()) return;
    RecordWithBlock(k, apiId, addr, k.SymbolValues(id) * static_cast<std::uint32_t>(sizeof(T)), id, addr);
    k.LeaveCall();
}

}  // namespace

void GLKestrel::glVariantbvEXT(kgl::GLuint id, const kgl::GLbyte* addr) {
    RecordVariant(*this, fn::glVariantbvEXT, api::glVariantbvEXT, id, addr);
}
void GLKestrel::glVariantsvEXT(kgl::GLuint id, const kgl::GLshort* addr) {
    RecordVariant(*this, fn::glVariantsvEXT, api::glVariantsvEXT, id, addr);
}
void GLKestrel::glVariantivEXT(kgl::GLuint id, const kgl::GLint* addr) {
    RecordVariant(*this, fn::glVariantivEXT, api::glVariantivEXT, id, addr);
}
void GLKestrel::glVariantfvEXT(kgl::GLuint id, const kgl::GLfloat* addr) {
    RecordVariant(*this, fn::glVariantfvEXT, api::glVariantfvEXT, id, addr);
}
void GLKestrel::glVariantdvEXT(kgl::GLuint id, const kgl::GLdouble* addr) {
    RecordVariant(*this, fn::glVariantdvEXT, api::glVariantdvEXT, id, addr);
}
void GLKestrel::glVariantubvEXT(kgl::GLuint id, const kgl::GLubyte* addr) {
    RecordVariant(*this, fn::glVariantubvEXT, api::glVariantubvEXT, id, addr);
}
void GLKestrel::glVariantusvEXT(kgl::GLuint id, const kgl::GLushort* addr) {
    RecordVariant(*this, fn::glVariantusvEXT, api::glVariantusvEXT, id, addr);
}
void GLKestrel::glVariantuivEXT(kgl::GLuint id, const kgl::GLuint* addr) {
    RecordVariant(*this, fn::glVariantuivEXT, api::glVariantuivEXT, id, addr);
}

}  // namespace kestrel

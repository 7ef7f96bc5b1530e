#pragma once
// Global variables: the "$" names scripts and host share. A global is a global-value resource
// of the resource tree whose value cell is the variable; globals created on demand live in
// the list "usrglobal" (userGlobals). Names compare ignoring ASCII letter case.
#include <string>
#include <string_view>

#include "values/ScriptValue.h"

namespace kelvo {

class TBRegExp;
class TResourceTree;

// A "$" followed by letters, digits, underscores and double-byte characters. "$" alone is
// legal; the empty name is not.
bool IsLegalGlobalName(TBRegExp& regExp, std::string_view name);

// The value cell of the global, or nullptr. Only names beginning with "$" are looked up, from
// the root; a dot-free name that nothing else carries is created in userGlobals with a null
// value. A name with a dot is an ordinary dotted path and creates nothing.
TScriptValue* GlobalCell(TResourceTree& tree, std::string_view name);
// Counted copy of the value into GlobalCell(name); nothing when there is no cell.
void SetGlobal(TResourceTree& tree, std::string_view name, const TScriptValue& value);
// Adds (create) or removes the element for the name in the page-saved list "usr.global",
// making that list when it is missing; nothing when "usr" does not exist.
void DeclarePageGlobal(TResourceTree& tree, std::string_view name, bool create);
// The value of a source expression: evaluates "extends Object; $_tmp_valueOf=TEXT;" (errors
// reported) and answers GlobalCell("$_tmp_valueOf"), which keeps its old value when the text
// does not compile.
TScriptValue* ValueOfText(TResourceTree& tree, std::string_view text);

// The globals with a fixed meaning between the host and the kernel scripts.
namespace globals {
inline constexpr std::string_view kDoDraw = "$_doDraw";             // 1 in the drawing step
inline constexpr std::string_view kTmpValueOf = "$_tmp_valueOf";    // result of ValueOfText
inline constexpr std::string_view kExecCheckPoint = "$_exec_checkPoint";  // batch progress
inline constexpr std::string_view kWrap1 = "$_1";  // host objects wrapped into script objects
inline constexpr std::string_view kWrap2 = "$_2";
inline constexpr std::string_view kTmpVal1 = "$_tmp_val1";  // custom resource initialisation
inline constexpr std::string_view kTmpVal2 = "$_tmp_val2";
inline constexpr std::string_view kTmpCmml = "$_tmp_cmml";  // markup objects
inline constexpr std::string_view kTmpCmml2 = "$_tmp_cmml2";
inline constexpr std::string_view kTmpCmmlList = "$_tmp_cmml_list";
inline constexpr std::string_view kTmpGen = "$_tmp_gen";  // generator placement
inline constexpr std::string_view kDesignMode = "$_design_mode";
inline constexpr std::string_view kChars = "$chars";
inline constexpr std::string_view kTmpResReader = "$_tmp_rrdr";  // resource reader, writer
inline constexpr std::string_view kTmpResWriter = "$_tmp_rwrt";
inline constexpr std::string_view kTmpCurSelect = "$_tmp_cur_select";  // picked in design mode
inline constexpr std::string_view kMouseEvent = "$_mouse_event";       // mouse event receiver
inline constexpr std::string_view kMouseX = "$mouseX";
inline constexpr std::string_view kMouseY = "$mouseY";
inline constexpr std::string_view kMouseSX = "$mouseSX";
inline constexpr std::string_view kMouseSY = "$mouseSY";
inline constexpr std::string_view kLeftButton = "$leftButton";
inline constexpr std::string_view kRightButton = "$rightButton";
inline constexpr std::string_view kBgColor = "$bgcolor";
inline constexpr std::string_view kScreenWidth = "$screenWidth";
inline constexpr std::string_view kScreenHeight = "$screenHeight";
inline constexpr std::string_view kEditMode = "$_editMode";  // set at system start
inline constexpr std::string_view kEmChar = "$_emChar";
}  // namespace globals

}  // namespace kelvo

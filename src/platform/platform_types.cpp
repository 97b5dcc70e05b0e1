#include "platform/platform_types.h"

namespace narvo {

const char* DialogKindName(TDialogKind Kind) {
    switch (Kind) {
    case TDialogKind::Error: return "error";
    case TDialogKind::Warning: return "warning";
    case TDialogKind::Plain: return "plain";
    case TDialogKind::Question: return "question";
    }
    return "error";
}

const char* DialogButtonsName(TDialogButtons Buttons) {
    switch (Buttons) {
    case TDialogButtons::Ok: return "ok";
    case TDialogButtons::AbortIgnore: return "abort/ignore";
    case TDialogButtons::YesNo: return "yes/no";
    }
    return "ok";
}

const char* DialogResultName(TDialogResult Result) {
    switch (Result) {
    case TDialogResult::Ok: return "ok";
    case TDialogResult::Abort: return "abort";
    case TDialogResult::Ignore: return "ignore";
    case TDialogResult::Yes: return "yes";
    case TDialogResult::No: return "no";
    case TDialogResult::Cancel: return "cancel";
    }
    return "ok";
}

std::vector<TDialogResult> DialogButtonList(TDialogButtons Buttons) {
    switch (Buttons) {
    case TDialogButtons::Ok: return {TDialogResult::Ok};
    case TDialogButtons::AbortIgnore: return {TDialogResult::Abort, TDialogResult::Ignore};
    case TDialogButtons::YesNo: return {TDialogResult::Yes, TDialogResult::No};
    }
    return {TDialogResult::Ok};
}

} // namespace narvo

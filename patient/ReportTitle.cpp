#include "patient/ReportTitle.h"

#include "base/UiText.h"
#include "patient/FieldText.h"

namespace quenda {

ReportTitle::ReportTitle() { Set(UiText(kReportTitleDefault)); }

bool ReportTitle::Set(std::string_view utf8) {
    text_ = FirstCharacters(utf8, kReportTitleMaxCharacters);
    return text_.size() == utf8.size();
}

}  // namespace quenda

#include "model/tree_row.h"

#include "model/catalogue.h"
#include "model/invisible_element.h"
#include "model/net_rs485_prg.h"
#include "model/parameter.h"

namespace zep8 {
namespace {

constexpr int kImageNone = 0;
constexpr int kImageChoice = 27;
constexpr int kImageText = 28;
constexpr int kImageReadOnly = 30;

}  // namespace

TreeRow DescribeParameterRow(const Parameter& p, const InvisibleElement& owner, bool showIndexes) {
    TreeRow row;
    const int type = GetDescriptor(p.name).type;
    const bool textType = type == PT_DECIMAL || type == PT_INTEGER || type == PT_ASCII;
    row.text = p.title;
    row.image = !p.writable       ? kImageReadOnly
                : textType        ? kImageText
                : type == PT_ENUM ? kImageChoice
                                  : kImageNone;
    row.selectedImage = row.image;
    row.editAsText = textType && p.writable;
    row.editAsChoice = type == PT_ENUM && p.writable;

    // The program's own port settings are not the module's: no names shown.
    if (!dynamic_cast<const NetRS485prg*>(&owner)) {
        row.columns[1] = showIndexes && p.indexed ? p.name + ":" + std::to_string(p.index) : p.name;
    }
    row.columns[2] = p.value;
    if (p.hasAttributes) row.columns[3] = EditableText(p.attrEditable);
    row.columns[4] = p.errorText;

    if (!p.errorText.empty())
        row.colour = kRowError;
    else if (p.IsPending())
        row.colour = kRowPending;
    return row;
}

TreeRow DescribeNodeItem(const InvisibleElement& node, bool showIndexes, Prompter& prompter) {
    TreeRow row;
    row.text = node.caption;
    row.image = node.GetImage();
    row.selectedImage = node.GetSelectedImage();
    if (showIndexes) {
        const int index = node.GetCommonIndex(prompter);
        if (index >= 0) row.columns[1] = "(" + std::to_string(index) + ")";
    }
    return row;
}

}  // namespace zep8

#include "tav/list/label_change.hpp"

#include <optional>
#include <stdexcept>

#include "tav/frame/call_frame.hpp"
#include "tav/list/reported_steps.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"

namespace Korvu2::TAV::Objects {

namespace {

void assign_value(ITavLabel& target, const ITavLabel& value) {
    auto* text = dynamic_cast<CLabelString*>(&target);
    auto* newText = dynamic_cast<const CLabelString*>(&value);
    if (text != nullptr && newText != nullptr) {
        text->SetText(newText->Text());
        return;
    }
    auto* vector = dynamic_cast<CLabelFloat32Vector*>(&target);
    auto* newVector = dynamic_cast<const CLabelFloat32Vector*>(&value);
    if (vector != nullptr && newVector != nullptr) {
        vector->SetValues(newVector->Values());
        return;
    }
    throw std::invalid_argument("label of another class");
}

} // namespace

void ChangeLabel(CSampleImageListBase& list, std::size_t index, const ITavLabel& candidate) {
    std::optional<std::size_t> equal;
    for (std::size_t j = 0; j < list.LabelCount() && !equal; ++j)
        if (j != index && list.LabelAt(j)->Compare(candidate) == CompareEqual)
            equal = j;

    if (!equal) {
        assign_value(*list.LabelAt(index), candidate);
        list.LabelValuesChanged();
        return;
    }

    const SharedHandle<ITavLabel> from = list.LabelAt(index);
    const SharedHandle<ITavLabel> into = list.LabelAt(*equal);
    const std::size_t dataBefore = list.DataCount();
    const SYSTEMTIME modified = list.ModificationTime();
    for (std::size_t r = 0; r < from->DataReferences().size(); ++r) {
        const int32_t status = AddItemAsExported(list, DataReferenceAsExported(*from, r), into);
        if (status != 0) {
            // Deleting the label now would lose the items not yet copied:
            // take back the copies made so far and leave the list as it was,
            // its modification time included.
            while (list.DataCount() > dataBefore)
                list.DeleteData(list.DataCount() - 1);
            list.SetTimes(list.CreationTime(), modified);
            frame::fail(status);
        }
    }
    // Found anew by object: the index is only trusted as far as the list says.
    DeleteLabelAsExported(list, list.FindLabel(*from).value_or(list.LabelCount()));
}

} // namespace Korvu2::TAV::Objects

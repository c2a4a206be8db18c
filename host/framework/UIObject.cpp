#include "host/framework/UIObject.h"

IRender::~IRender() = default;

UIObject::~UIObject() = default;

void UIObject::SetBox(const M3DBoundingBox<float>& box) {
    mo_box = box;
    mb_has_box = true;
}

void UIObject::GetBoundingBox(M3DBoundingBox<float>& box, uint64_t mask) const {
    mn_last_mask = mask;
    ++mn_num_box_requests;
    if (mb_has_box)
        box = mo_box;
}

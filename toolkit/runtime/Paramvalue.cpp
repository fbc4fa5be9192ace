// Reads of host parameter values, answered by the runtime from the value record itself.
#include "ProToolkitRuntime.h"

ProErrors ProParamvalueKindGet(const ProParamvalue* value, ProParamvalueType* type) {
    if (value == nullptr || type == nullptr) {
        return PRO_TK_BAD_INPUTS;
    }
    *type = value->type;
    return PRO_TK_NO_ERROR;
}

ProErrors ProParamvalueContentGet(const ProParamvalue* value, ProParamvalueType type,
                                  void* content) {
    if (value == nullptr || content == nullptr || type != value->type) {
        return PRO_TK_BAD_INPUTS;
    }
    switch (type) {
    case PRO_PARAM_DOUBLE:
        *static_cast<double*>(content) = value->value.d_val;
        return PRO_TK_NO_ERROR;
    case PRO_PARAM_STRING: {
        auto* out = static_cast<wchar_t*>(content);
        int i = 0;
        for (; i < PRO_LINE_SIZE - 1 && value->value.s_val[i] != L'\0'; ++i) {
            out[i] = value->value.s_val[i];
        }
        out[i] = L'\0';
        return PRO_TK_NO_ERROR;
    }
    case PRO_PARAM_INTEGER:
        *static_cast<int*>(content) = value->value.i_val;
        return PRO_TK_NO_ERROR;
    case PRO_PARAM_BOOLEAN:
        *static_cast<short*>(content) = value->value.l_val;
        return PRO_TK_NO_ERROR;
    case PRO_PARAM_NOTE_ID:
        *static_cast<int*>(content) = value->value.note_id;
        return PRO_TK_NO_ERROR;
    default:
        return PRO_TK_BAD_INPUTS;
    }
}

#include "data/base/Value.h"

bool TValue::operator==(const TValue& o) const {
    if (Kind != o.Kind) return false;
    switch (Kind) {
    case TValueKind::Null:
        return true;
    case TValueKind::Integer:
        return Int == o.Int;
    case TValueKind::Float:
    case TValueKind::DateTime:
        return Float == o.Float;
    case TValueKind::Boolean:
        return Bool == o.Bool;
    case TValueKind::Text:
    case TValueKind::Bytes:
        return Text == o.Text;
    }
    return false;
}

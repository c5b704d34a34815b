#include "solver/storage_stream.h"

const char* StorageStatusText(StorageStatus status) {
    switch (status) {
    case StorageStatus::kOk: return "ok";
    case StorageStatus::kTruncated: return "truncated storage data";
    case StorageStatus::kWrongKind: return "wrong storage kind";
    case StorageStatus::kWrongVersion: return "unsupported storage version";
    case StorageStatus::kLayoutMismatch: return "storage layout mismatch";
    case StorageStatus::kBadValue: return "invalid storage value";
    }
    return "?";
}

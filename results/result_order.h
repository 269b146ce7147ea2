#pragma once
// The orderings of the result list.
#include <cstdint>
#include <vector>

#include "volume/records.h"

enum : uint8_t { kSortName = 0, kSortPath = 1, kSortState = 2, kSortSize = 3, kSortDate = 4, kSortPreview = 5 };

// Negative, zero or positive, as `a` sorts before, with or after `b` by `key`.
int CompareFiles(const TMyFile& a, const TMyFile& b, uint8_t key);

// Sorts the shown rows by `key`; descending negates the comparison. A key
// outside 0..5 leaves the list as it is. Equal keys keep no defined order.
void SortShown(std::vector<TMyFile*>& files, uint8_t key, bool ascending);

// The same, keeping files with equal keys in their present order.
void SortShownStable(std::vector<TMyFile*>& files, uint8_t key, bool ascending);

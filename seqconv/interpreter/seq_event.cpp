#include "seqconv/interpreter/seq_event.h"

// Skeleton: replaced by the sort orders.
void sortTimeOrder(std::vector<SeqEvent>&) {}
void sortTrackOrder(std::vector<SeqEvent>&) {}

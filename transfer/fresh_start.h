#pragma once

namespace tarvex::link {
class Link;
}

namespace tarvex::transfer {

// Drops what the unit sent after the last exchange was over: the late rest of a reply that an
// exchange gave up on. Within a sequence late bytes stay at the front of the next reply, which
// is then judged by how it begins; a new sequence starts clean instead, so that what a stalled
// unit left behind never passes for the first reply of the next one. Called first by every
// sequence of exchanges.
void startFresh(link::Link& link);

} // namespace tarvex::transfer

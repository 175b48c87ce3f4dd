#pragma once
// Chip models report levels only to a sink that asks for them, decided when
// the sink type is compiled: a run without level events pays nothing on its
// register writes. Such a sink declares
//   static constexpr bool kFollowsLevels = true;
//   void keyOnLevel(int list, uint32_t sampleTime, uint8_t level, uint8_t pan);
//       // the channel's level (and FM pan bits) at a key-on, before its key event
//   void levelChange(int list, uint32_t sampleTime, uint8_t level);
//       // a new level while the channel sounds
// (levels and pan bits as level_events.h describes them).

template <typename Sink>
concept FollowsLevels = requires { requires Sink::kFollowsLevels; };

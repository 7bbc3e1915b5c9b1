#include "drivers/components/usb/qex_usb/QexUsbPrivate.h"

namespace qex_usb {

namespace {

constexpr ULONG kWordsPerSlot = sizeof(WidgetMapSlot) / sizeof(ULONG);
static_assert(sizeof(WidgetMapSlot) % sizeof(ULONG) == 0);
constexpr ULONG kOpenFlagWord = offsetof(WidgetMapSlot, openFlag) / sizeof(ULONG);

// The map as aligned 32-bit words, so that each field can be stored and loaded
// atomically; the records of QexUsbPublic.h are built from them when a reader asks.
LONG volatile gMap[kWidgetMapSlotCount][kWordsPerSlot];
LONG volatile gChangeStamp;

ULONG Load(LONG volatile* word)
{
    return ULONG(InterlockedCompareExchange(word, 0, 0));
}

VOID Store(LONG volatile* word, ULONG value)
{
    InterlockedExchange(word, LONG(value));
}

VOID LoadSlot(ULONG number, WidgetMapSlot* slot)
{
    ULONG words[kWordsPerSlot];
    for (ULONG i = 0; i < kWordsPerSlot; ++i)
        words[i] = Load(&gMap[number][i]);
    RtlCopyMemory(slot, words, sizeof *slot);
}

} // namespace

VOID TouchChangeStamp()
{
    // The stamp follows the tick count but always moves: two changes within one tick
    // still give a reader two different stamps.
    LARGE_INTEGER ticks;
    KeQueryTickCount(&ticks);
    LONG old = InterlockedCompareExchange(&gChangeStamp, 0, 0);
    for (;;) {
        ULONG next = ticks.LowPart;
        if (LONG(next - ULONG(old)) <= 0)
            next = ULONG(old) + 1;
        const LONG seen = InterlockedCompareExchange(&gChangeStamp, LONG(next), old);
        if (seen == old)
            return;
        old = seen;
    }
}

ULONG CurrentChangeStamp()
{
    return Load(&gChangeStamp);
}

VOID ClearDeviceMap()
{
    for (ULONG number = 0; number < kWidgetMapSlotCount; ++number)
        for (ULONG i = 0; i < kWordsPerSlot; ++i)
            Store(&gMap[number][i], 0);
    TouchChangeStamp();
}

VOID CopyDeviceMap(WidgetDeviceMap* map)
{
    for (ULONG number = 0; number < kWidgetMapSlotCount; ++number)
        LoadSlot(number, &map->slot[number]);
}

VOID CopyShortMap(WidgetShortMap* map)
{
    for (ULONG number = 0; number < kWidgetMapSlotCount; ++number) {
        WidgetMapSlot slot;
        LoadSlot(number, &slot);
        map->entry[number] = WidgetMapEntry{slot.vendorId, slot.productId, slot.serialNumber, slot.openFlag};
    }
}

VOID FillSlotIdentity(ULONG number, ULONG vendorId, ULONG productId, ULONG serialNumber)
{
    Store(&gMap[number][offsetof(WidgetMapSlot, vendorId) / sizeof(ULONG)], vendorId);
    Store(&gMap[number][offsetof(WidgetMapSlot, productId) / sizeof(ULONG)], productId);
    Store(&gMap[number][offsetof(WidgetMapSlot, serialNumber) / sizeof(ULONG)], serialNumber);
    TouchChangeStamp();
}

VOID StoreSlotBytes(ULONG number, ULONG offset, const UCHAR* bytes, ULONG count)
{
    if (offset < offsetof(WidgetMapSlot, version) || offset + count > sizeof(WidgetMapSlot))
        return;
    // Only the PnP thread writes these bytes, so a word can be rebuilt and stored whole.
    for (ULONG i = 0; i < count; ++i) {
        const ULONG byte = offset + i;
        LONG volatile* word = &gMap[number][byte / sizeof(ULONG)];
        const ULONG shift = (byte % sizeof(ULONG)) * 8;
        const ULONG value = (Load(word) & ~(0xFFu << shift)) | (ULONG(bytes[i]) << shift);
        Store(word, value);
    }
    TouchChangeStamp();
}

VOID ZeroSlot(ULONG number)
{
    for (ULONG i = 0; i < kWordsPerSlot; ++i)
        Store(&gMap[number][i], 0);
    TouchChangeStamp();
}

bool ClaimSlot(ULONG number)
{
    if (InterlockedCompareExchange(&gMap[number][kOpenFlagWord], 1, 0) != 0)
        return false;
    TouchChangeStamp();
    return true;
}

VOID ReleaseSlot(ULONG number)
{
    Store(&gMap[number][kOpenFlagWord], 0);
    TouchChangeStamp();
}

} // namespace qex_usb

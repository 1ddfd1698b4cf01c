// The sound of the page (to come: the synthesizer in an AudioWorklet and the effects).
export function startSound() {}
export const sound = {};

export const OK = '✔️';
export const HEART = '❤️';
export const FAMILY = '👨‍👩‍👧';

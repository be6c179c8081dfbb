export const PRICE = '12 €';
export const GAP = '   ';

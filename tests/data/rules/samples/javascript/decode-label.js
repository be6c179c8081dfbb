export function label(s) {
  const text = atob(s);
  return text.trim();
}
const b = Buffer.from(s, 'base64');


char vide[] = {
};
struct image i_vide={(short)0x0, 0x2, 0x2,vide};

/**
 * The agent's Java API: {@link com.brel.vorlend.ib.api.jxel.JXelObject} and
 * {@link com.brel.vorlend.ib.api.jxel.JXelException}, whose methods are natives of the library
 * {@code JXelAgtbase}.
 */
package com.brel.vorlend.ib.api.jxel;
